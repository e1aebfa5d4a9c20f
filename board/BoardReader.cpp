#include "board/BoardReader.h"

#include <exception>

#include "analysis/AuctionTarget.h"
#include "app/RequestSetup.h"
#include "app/Text.h"
#include "history/History.h"
#include "net/NMHTTP.h"

namespace {

BoardReading Failed(std::time_t now, std::string error, bool permanent = false)
{
    BoardReading r;
    r.now = now;
    r.error = std::move(error);
    r.permanent = permanent;
    return r;
}

} // namespace

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

BoardReading BoardReader::Read(const std::string& url, std::time_t now, int keiko, bool store)
{
    cancelled_ = false;
    interrupted_ = false;
    const AuctionTarget target = ReadAuctionTarget(url, AuctionList{});
    if (target.problem != AuctionTarget::None)
        return Failed(now, std::string(SJ("オークションのアドレスではありません")), true);

    try {
        WorkFile page(workFile_);
        try {
            page.Fetch(*http_, target.page, target.requestPath);
        } catch (const std::exception& e) {
            if (cancelled_) {
                interrupted_ = true;
                return Failed(now, std::string(SJ("中断")));
            }
            if (http_->TimedOut)
                return Failed(now, std::string(SJ("応答がありません（時間切れ）")));
            return Failed(now, std::string(SJ("読み込めません: ")) + e.what());
        }
        // The window reads an error page as a page; the board says what it is.
        if (http_->ReplyNumber == 404 || http_->ReplyNumber == 410)
            return Failed(now, std::string(SJ("オークションが見つかりません（")) + std::to_string(http_->ReplyNumber) + std::string(SJ("）")));
        if (http_->ReplyNumber >= 400 || http_->ReplyNumber == 0)
            return Failed(now, std::string(SJ("サーバーの応答 ")) + std::to_string(http_->ReplyNumber));

        AuctionRecord record;
        BidLog log;
        BoardReading r;
        r.now = now;
        const PageReading reading = ReadBidHistoryPage(page.Path(), now, keiko, record, log);
        if (record.title.empty() && log.Count() == 0)
            return Failed(now, std::string(SJ("入札履歴のページではありません")));
        if (!reading.auction.endTime)
            return Failed(now, std::string(SJ("終了日時が読めません")));
        r.auction = reading.auction;
        r.prediction = reading.prediction;

        // Kept open between reads: opening costs more than a record.
        const std::string path = HistoryPath();
        if (!history_ || store != historyWritable_ || path != historyPath_) {
            history_ = std::make_unique<History>();
            historyWritable_ = store;
            historyPath_ = path;
            if (!(store ? history_->Open(HistoryPath(), kHistoryBusyMs) : history_->OpenToRead()))
                history_.reset();
        }
        if (history_) {
            History& history = *history_;
            if (store)
                r.recorded = RecordReading(history, reading, log, target.input);
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
        r.ok = true;
        return r;
    } catch (const std::exception& e) {
        return Failed(now, std::string(SJ("読み込めません: ")) + e.what());
    } catch (...) {
        return Failed(now, std::string(SJ("読み込めません")));
    }
}
