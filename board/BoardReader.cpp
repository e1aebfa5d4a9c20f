#include "board/BoardReader.h"

#include <QDateTime>
#include <exception>
#include <sys/stat.h>

#include "analysis/AuctionTarget.h"
#include "base/Text.h"
#include "history/History.h"
#include "net/NMHTTP.h"
#include "net/RequestSetup.h"

namespace {

BoardReading Failed(std::time_t now, std::string error, bool permanent = false)
{
    BoardReading r;
    r.now = now;
    r.error = std::move(error);
    r.permanent = permanent;
    return r;
}

// The client's messages are English; the row says what went wrong in the window's language.
std::string TransferReason(const std::string& message)
{
    static const struct {
        const char* part;
        std::string_view reason;
    } reasons[] = {
        {"before the end of the reply header", SJ("応答が途中で切れました")},
        {"Host Lookup", SJ("サーバーの名前が引けません")},
        {"Connection", SJ("接続できません")},
        {"larger than", SJ("応答が大きすぎます")},
        {"file", SJ("作業ファイルに書き込めません")},
        {"Stream write", SJ("作業ファイルに書き込めません")},
        {"Secure Socket", SJ("https のアドレスは読めません")},
    };
    for (const auto& r : reasons) {
        if (message.find(r.part) != std::string::npos)
            return std::string(SJ("読み込めません（")).append(r.reason).append(SJ("）"));
    }
    return std::string(SJ("読み込めません（通信エラー）"));
}

bool SameFile(const std::string& path, dev_t device, ino_t inode)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

} // namespace

std::optional<std::int64_t> ServiceTimeOf(const std::string& date, std::int64_t now)
{
    // HTTP names the zone GMT, which the RFC 2822 reader takes only as an offset.
    QString text = QString::fromLatin1(TrimText(date));
    if (text.endsWith(QLatin1String(" GMT")) || text.endsWith(QLatin1String(" UTC")))
        text = text.chopped(3) + QLatin1String("+0000");
    const QDateTime at = QDateTime::fromString(text, Qt::RFC2822Date);
    if (!at.isValid())
        return std::nullopt;
    const std::int64_t seconds = at.toSecsSinceEpoch();
    if (seconds < now - 86400 || seconds > now + 86400)
        return std::nullopt;
    return seconds;
}

BoardDigest::BoardDigest() = default;
BoardDigest::~BoardDigest() = default;

bool BoardDigest::HistoryUsable(bool store)
{
    // Kept open between reads, as opening costs more than a record; opened
    // afresh when another copy has set the file aside (or another took its
    // place), so that reads do not go on into the set-aside one.
    const std::string path = HistoryPath();
    if (history_ && store == writable_ && path == path_ && SameFile(path, device_, inode_))
        return true;
    history_ = std::make_unique<History>();
    writable_ = store;
    path_ = path;
    if (!(store ? history_->Open(path, kHistoryBusyMs) : history_->OpenToRead(path))) {
        history_.reset();
        return false;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
    }
    return true;
}

BoardReading BoardDigest::Digest(const std::string& pagePath, const std::string& address, std::int64_t now, int keiko,
                                 bool store)
{
    try {
        AuctionRecord record;
        BidLog log;
        BoardReading r;
        r.now = now;
        const PageReading reading = ReadBidHistoryPage(pagePath, static_cast<std::time_t>(now), keiko, record, log);
        if (record.title.empty() && log.Count() == 0)
            return Failed(now, std::string(SJ("入札履歴のページではありません")));
        if (!reading.auction.endTime)
            return Failed(now, std::string(SJ("終了日時が読めません")));
        r.auction = reading.auction;
        r.prediction = reading.prediction;

        const bool opened = HistoryUsable(store);
        if (opened) {
            History& history = *history_;
            if (store)
                r.recorded = RecordReading(history, reading, log, address);
            const std::optional<MarketOutlook> outlook = history.Outlook(r.auction, log, r.prediction, now);
            if (outlook) {
                r.marketPrice = outlook->market.price;
                r.marketCount = outlook->market.count;
                r.marketForecast = outlook->forecast;
            }
            if (const std::optional<ForecastSpread> spread =
                    SpreadOf(history, outlook, r.auction, log, r.prediction, keiko, now)) {
                r.spread = spread->spread;
                r.band = spread->band;
                r.bandFromOwnErrors = spread->basis == ForecastSpread::Basis::OwnErrors;
            }
            if (reading.prediction && reading.prediction->ended)
                r.halfTimeForecast = history.ForecastNearShare(r.auction.auctionId, 0.5);
            // Another copy may have set a damaged file aside: open afresh next time.
            if (store && !r.recorded)
                history_.reset();
        }
        r.recordFailed = store && !r.recorded;
        if (r.recordFailed) {
            r.recordError = r.auction.auctionId.empty() ? std::string(SJ("ページにオークションIDがなく、履歴に記録できません"))
                          : !opened ? std::string(SJ("履歴を開けません（読み取り専用か、新しい版の履歴です）"))
                              : std::string(SJ("履歴に記録できません（ほかのコピーが使用中か、書き込めません）"));
        }
        r.ok = true;
        return r;
    } catch (...) {
        return Failed(now, std::string(SJ("ページを読めません")));
    }
}

BoardFetch::BoardFetch() = default;
BoardFetch::BoardFetch(BoardFetch&&) noexcept = default;
BoardFetch& BoardFetch::operator=(BoardFetch&&) noexcept = default;
BoardFetch::~BoardFetch() = default;

BoardReader::BoardReader(std::string workFile) : workFile_(std::move(workFile)), http_(std::make_unique<TNMHTTP>())
{
    http_->TimeOut = kTimeOutMs;
    http_->ReportLevel = 2;
}

BoardReader::~BoardReader() = default;

void BoardReader::Cancel()
{
    cancelled_ = true;
    http_->Cancel();
}

BoardReading BoardDigest::Digest(WorkFile& page, const std::string& address, std::int64_t now, int keiko, bool store)
{
    try {
        page.Publish();
    } catch (const std::exception& e) {
        return Failed(now, TransferReason(e.what()));
    }
    return Digest(page.Path(), address, now, keiko, store);
}

BoardFetch BoardReader::Fetch(const std::string& url, std::time_t now, bool publish)
{
    cancelled_ = false;
    interrupted_ = false;
    BoardFetch fetch;
    const AuctionTarget target = ReadAuctionTarget(url, AuctionList{});
    if (target.problem != AuctionTarget::None) {
        fetch.failed = Failed(now, std::string(SJ("オークションのアドレスではありません")), true);
        return fetch;
    }
    fetch.address = target.input;
    try {
        fetch.page = std::make_unique<WorkFile>(workFile_);
        try {
            fetch.page->Fetch(*http_, target.page, target.requestPath, publish);
        } catch (const std::exception& e) {
            if (cancelled_) {
                interrupted_ = true;
                fetch.failed = Failed(now, std::string(SJ("中断")));
            } else if (http_->TimedOut) {
                fetch.failed = Failed(now, std::string(SJ("応答がありません（時間切れ）")));
            } else {
                fetch.failed = Failed(now, TransferReason(e.what()));
            }
            return fetch;
        }
        fetch.serviceTime = ServiceTimeOf(http_->Date, now);
        // The window reads an error page as a page; the board says what it is.
        if (http_->ReplyNumber == 404 || http_->ReplyNumber == 410)
            fetch.failed = Failed(now, std::string(SJ("オークションが見つかりません（")) + std::to_string(http_->ReplyNumber)
                                           + std::string(SJ("）")));
        else if (http_->ReplyNumber >= 400 || http_->ReplyNumber == 0)
            fetch.failed = Failed(now, std::string(SJ("サーバーの応答 ")) + std::to_string(http_->ReplyNumber));
    } catch (const std::exception& e) {
        fetch.failed = Failed(now, TransferReason(e.what()));
    } catch (...) {
        fetch.failed = Failed(now, std::string(SJ("読み込めません")));
    }
    return fetch;
}

BoardReading BoardReader::Read(const std::string& url, std::time_t now, int keiko, bool store)
{
    BoardFetch fetch = Fetch(url, now);
    serviceTime_ = fetch.serviceTime;
    if (fetch.failed)
        return std::move(*fetch.failed);
    // The page is read at the service's time when it gave one: whether the
    // auction has ended is the service's to say.
    return digest_.Digest(fetch.page->Path(), fetch.address, fetch.serviceTime.value_or(now), keiko, store);
}
