#include "app/ForecastTool.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryFile>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "analysis/AuctionTarget.h"
#include "analysis/BidHistory.h"
#include "analysis/Prediction.h"
#include "base/HttpAddress.h"
#include "base/Text.h"
#include "history/History.h"
#include "net/NMHTTP.h"
#include "net/RequestSetup.h"

namespace {

constexpr const char* kUsage =
    "usage: mirelo-forecast PAGE.html|URL [--now \"YYYY-MM-DD HH:MM\"] [--tendency low|middle|high] [--json]"
    " [--record] [--limit YEN]\n"
    "       mirelo-forecast --history-csv\n"
    "       mirelo-forecast --board [--json] [--record] [--tendency low|middle|high]\n";

// After the usage line for --help; the manual page lists the same (a test holds them together).
constexpr const char* kHelp =
    "\n"
    "Prints the item, its bids and the forecast of a saved bid-history page, or of\n"
    "an auction's address (fetched through the proxy set in mirelo).\n"
    "\n"
    "options:\n"
    "  --now \"YYYY-MM-DD HH:MM\"      forecast as if the clock showed this local time\n"
    "  --tendency low|middle|high    the forecast's tendency (default: the one set in mirelo)\n"
    "  --json                        print one UTF-8 JSON object\n"
    "  --record                      record the auction in the history\n"
    "  --limit YEN                   the chance that the auction closes at or below this limit\n"
    "  --history-csv                 print every auction of the history as CSV (UTF-8 with BOM)\n"
    "  -h, --help                    print this help\n"
    "\n"
    "exit status:\n"
    "  0  a forecast was made, or the auction has ended\n"
    "  1  the page cannot be read or fetched, is not a bid history, or gives no forecast\n"
    "  2  wrong arguments\n"
    "  3  --record could not record the auction\n";

// The item's fields with the main window's captions, in its order.
struct FieldRow {
    const char* caption; // UTF-8
    const char* key;
    HeaderField field;
    std::string AuctionRecord::*text;
};
constexpr FieldRow kFields[] = {
    {"商品：", "title", HeaderField::Title, &AuctionRecord::title},
    {"出品日時：", "startText", HeaderField::Start, &AuctionRecord::startText},
    {"終了日時：", "endText", HeaderField::End, &AuctionRecord::endText},
    {"手動入札件数：", "bidCountText", HeaderField::BidCount, &AuctionRecord::bidCountText},
    {"希望落札金額：", "buyNowText", HeaderField::BuyNow, &AuctionRecord::buyNowText},
    {"現在の価格：", "currentPriceText", HeaderField::CurrentPrice, &AuctionRecord::currentPriceText},
    {"出品者：", "sellerId", HeaderField::SellerId, &AuctionRecord::sellerId},
    {"ｵｰｸｼｮﾝID：", "auctionId", HeaderField::AuctionId, &AuctionRecord::auctionId},
};

QString Q(std::string_view sjis)
{
    return QString::fromStdString(Utf8FromSjis(sjis));
}

struct Report {
    const AuctionRecord& record;
    const BidLog& log;
    const std::optional<Prediction>& prediction;
    std::time_t now;
    int keiko;
    const std::optional<MarketOutlook>& outlook;
    const std::vector<NotTaken>& notTaken;
    const std::optional<ForecastSpread>& spread;
    std::optional<long long> limit;
    std::optional<double> Chance() const
    {
        if (!spread || !limit)
            return std::nullopt;
        return ChanceAtOrBelow(spread->spread, *limit);
    }
};

// UTF-8, like the window shows it: missing fields with the window's reset
// texts, the bids oldest first, tab-separated for cut and awk.
std::string TextReport(const Report& r, const QLocale& locale)
{
    std::string text;
    for (const FieldRow& f : kFields) {
        const std::string& value = r.record.*f.text;
        text += f.caption;
        if (value.empty())
            text += f.field == HeaderField::BuyNow ? "(設定なし)" : "(未取得)";
        else
            text += Utf8FromSjis(HeaderLabelText(f.field, value));
        text += '\n';
    }
    text += "\nSN\t入札日時\t入札金額(円)\t入札者\t入札方法\n";
    const int n = r.log.Count();
    for (int sn = 1; sn <= n; ++sn) {
        const BidRecord& bid = r.log[n - sn];
        text += Format("%d\t", sn) + Utf8FromSjis(bid.dateText) + '\t' + GroupedNumber(bid.price, locale).toStdString()
                + '\t' + Utf8FromSjis(bid.bidderId) + '\t' + Utf8FromSjis(bid.mode) + '\n';
    }
    static const char* const captions[] = {"控えめ（安め）", "無難（ふつう）", "辛め（高め）"};
    text += "\n落札予測：";
    text += r.prediction ? ForecastText(*r.prediction, locale).toStdString() : std::string("（未予測）");
    text += "\n確度：";
    text += r.prediction ? ConfidenceText(*r.prediction).toStdString() : std::string("-");
    text += std::string("\n予測傾向：") + captions[TendencyIndex(r.keiko)] + '\n';
    if (r.spread)
        text += "予想範囲：" + BandText(*r.spread, locale) + '\n';
    if (const std::optional<double> chance = r.Chance())
        text += ChanceText(*chance) + "（上限 " + YenText(*r.limit, locale).toStdString() + "）\n";

    text += "\n相場：";
    if (!r.outlook) {
        text += "（類似の落札なし）\n";
        return text;
    }
    const MarketPrice& m = r.outlook->market;
    text += YenText(m.price, locale).toStdString() + Format("（類似 %d 件、", m.count)
            + YenText(m.low, locale).toStdString() + "〜" + YenText(m.high, locale).toStdString() + "）\n";
    text += "相場を加味した予測：";
    text += r.outlook->forecast ? YenText(*r.outlook->forecast, locale).toStdString() : std::string("（終了）");
    text += "\n\n類似度\t終了日時\t落札価格(円)\tｵｰｸｼｮﾝID\t商品\n";
    for (const SimilarAuction& a : m.similar) {
        text += Format("%.2f\t", a.similarity) + QDateTime::fromSecsSinceEpoch(a.endTime).toString(
                    QStringLiteral("yyyy-MM-dd HH:mm")).toStdString()
                + '\t' + GroupedNumber(a.closingPrice, locale).toStdString() + '\t' + Utf8FromSjis(a.auctionId)
                + '\t' + Utf8FromSjis(a.title) + '\n';
    }
    return text;
}

const char* ReasonName(NotTakenReason reason)
{
    switch (reason) {
    case NotTakenReason::Accessory: return "accessory";
    case NotTakenReason::Junk: return "junk";
    case NotTakenReason::Item: return "item";
    case NotTakenReason::Variant: return "variant";
    case NotTakenReason::Capacity: return "capacity";
    case NotTakenReason::Size: return "size";
    case NotTakenReason::Model: return "model";
    case NotTakenReason::Maker: return "maker";
    case NotTakenReason::Dissimilar: return "dissimilar";
    case NotTakenReason::Outlier: return "outlier";
    case NotTakenReason::Excluded: return "excluded";
    }
    return "";
}

QJsonObject SaleJson(const SimilarAuction& a)
{
    return QJsonObject{{"auctionId", Q(a.auctionId)},
                       {"title", Q(a.title)},
                       {"closingPrice", static_cast<qint64>(a.closingPrice)},
                       {"endTime", static_cast<qint64>(a.endTime)},
                       {"similarity", a.similarity}};
}

QJsonArray SalesJson(const std::vector<SimilarAuction>& sales)
{
    QJsonArray list;
    for (const SimilarAuction& a : sales)
        list.append(SaleJson(a));
    return list;
}

std::string JsonReport(const Report& r)
{
    QJsonObject item;
    for (const FieldRow& f : kFields)
        item.insert(QLatin1String(f.key), Q(r.record.*f.text));

    QJsonArray bids;
    const int n = r.log.Count();
    for (int sn = 1; sn <= n; ++sn) {
        const BidRecord& bid = r.log[n - sn];
        bids.append(QJsonObject{{"sn", sn},
                                {"time", static_cast<qint64>(bid.time)},
                                {"dateText", Q(bid.dateText)},
                                {"price", bid.price},
                                {"bidderId", Q(bid.bidderId)},
                                {"mode", Q(bid.mode)}});
    }

    QJsonValue forecast; // null: no forecast could be made
    if (r.prediction) {
        const Prediction& p = *r.prediction;
        forecast = QJsonObject{{"ended", p.ended},
                               {"price", p.ended ? QJsonValue() : QJsonValue(static_cast<qint64>(p.forecast))},
                               {"confidence", p.confidence},
                               {"endTime", static_cast<qint64>(p.endTime)},
                               {"endLabel", Q(p.endLabel)}};
    }

    QJsonValue market; // null: too few similar auctions, or no history
    if (r.outlook) {
        const MarketPrice& m = r.outlook->market;
        market = QJsonObject{
            {"price", static_cast<qint64>(m.price)},
            {"count", m.count},
            {"low", static_cast<qint64>(m.low)},
            {"high", static_cast<qint64>(m.high)},
            {"forecast", r.outlook->forecast ? QJsonValue(static_cast<qint64>(*r.outlook->forecast)) : QJsonValue()},
            {"similar", SalesJson(m.similar)},
            {"outliers", SalesJson(m.outliers)},
            {"excluded", SalesJson(m.excluded)}};
    }
    // Also without a market: whether the history lacks the model or the
    // rule parted its sales.
    QJsonArray notTaken;
    for (const NotTaken& left : r.notTaken) {
        QJsonObject sale = SaleJson(left.auction);
        sale.insert(QLatin1String("reason"), QLatin1String(ReasonName(left.reason)));
        notTaken.append(sale);
    }

    QJsonValue band; // null: neither a market nor enough past forecasts
    if (r.spread)
        band = QJsonObject{{"low", static_cast<qint64>(r.spread->band.low)},
                           {"high", static_cast<qint64>(r.spread->band.high)},
                           {"basis", r.spread->basis == ForecastSpread::Basis::Market ? "market" : "ownErrors"},
                           {"count", r.spread->count}};
    const std::optional<double> chance = r.Chance();

    const QJsonObject root{{"item", item},
                           {"bids", bids},
                           {"forecast", forecast},
                           {"market", market},
                           {"notTaken", notTaken},
                           {"band", band},
                           {"limit", r.limit ? QJsonValue(static_cast<qint64>(*r.limit)) : QJsonValue()},
                           {"chance", chance ? QJsonValue(*chance) : QJsonValue()},
                           {"tendency", QLatin1String(TendencyName(r.keiko))},
                           {"now", static_cast<qint64>(r.now)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace

std::optional<std::time_t> ParseNowOption(std::string_view text)
{
    constexpr std::string_view shape = "0000-00-00 00:00";
    if (text.size() != shape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i])
            return std::nullopt;
    }
    auto number = [text](std::size_t at, std::size_t digits) {
        int value = 0;
        for (char c : text.substr(at, digits))
            value = value * 10 + (c - '0');
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2), hour = number(11, 2),
              minute = number(14, 2);
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    // 31 February would move on to March; such a date was not a date. Checked
    // on UTC's calendar: on the local one, standard time in summer moves the hour.
    std::tm check = t;
    if (timegm(&check) == static_cast<std::time_t>(-1) || check.tm_mon != t.tm_mon || check.tm_mday != day
        || check.tm_hour != hour || check.tm_min != minute)
        return std::nullopt;
    t.tm_isdst = 0;
    const std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1))
        return std::nullopt;
    return when;
}

std::optional<ForecastToolOptions> ParseForecastArgs(const std::vector<std::string>& args, std::string& error)
{
    ForecastToolOptions options;
    bool havePage = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--now" || arg == "--tendency" || arg == "--limit";
        if (takesValue && i + 1 == args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--record") {
            options.record = true;
        } else if (arg == "--history-csv") {
            options.historyCsv = true;
        } else if (arg == "--limit") {
            const std::string& value = args[++i];
            char* end = nullptr;
            errno = 0;
            const long long yen = std::strtoll(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno == ERANGE || yen <= 0) {
                error = "--limit wants a price in yen, not \"" + value + "\"";
                return std::nullopt;
            }
            options.limit = yen;
        } else if (arg == "--now") {
            const std::string& value = args[++i];
            options.now = ParseNowOption(value);
            if (!options.now) {
                error = "--now wants a local time as \"YYYY-MM-DD HH:MM\", not \"" + value + "\"";
                return std::nullopt;
            }
        } else if (arg == "--tendency") {
            options.keiko = TendencyFromName(args[++i], error);
            if (!options.keiko)
                return std::nullopt;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else if (havePage) {
            error = "one page at a time: \"" + options.page + "\" and \"" + arg + "\"";
            return std::nullopt;
        } else {
            options.page = arg;
            havePage = true;
        }
    }
    if (options.historyCsv && havePage) {
        error = "--history-csv reads no page";
        return std::nullopt;
    }
    if (!havePage && !options.help && !options.historyCsv) {
        error = "no page named";
        return std::nullopt;
    }
    return options;
}

std::optional<std::string> PageFileFor(const ForecastToolOptions& options, QTemporaryFile& download,
                                       std::string& error)
{
    if (HasWebScheme(options.page)) {
        const AuctionTarget target = ReadAuctionTarget(options.page, AuctionList{});
        if (target.problem != AuctionTarget::None) {
            error = options.page + " is not an auction page address (http://HOST[:PORT]/jp/auction/ID)";
            return std::nullopt;
        }
        if (!download.open()) {
            error = "cannot make a temporary file: " + download.errorString().toStdString();
            return std::nullopt;
        }
        download.close();
        const std::string path = QFile::encodeName(download.fileName()).toStdString();
        try {
            // The main window's client, with its stored settings.
            TNMHTTP http;
            http.TimeOut = 300000;
            http.ReportLevel = 2;
            PrepareGet(http, target.page, path);
            http.Get(target.requestPath);
            // The window reads an error page like any other; here a clear word serves better.
            if (http.ReplyNumber >= 400) {
                error = "cannot fetch " + options.page + ": the service answered " + std::to_string(http.ReplyNumber);
                return std::nullopt;
            }
        } catch (const std::exception& e) {
            error = "cannot fetch " + options.page + ": " + e.what();
            return std::nullopt;
        }
        return path;
    }
    std::ifstream probe(options.page, std::ios::binary);
    if (!probe) {
        error = "cannot read " + options.page + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return options.page;
}

int RunForecastTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const char* encoding)
{
    std::string error;
    const std::optional<ForecastToolOptions> options = ParseForecastArgs(args, error);
    if (!options) {
        err << "mirelo-forecast: " << error << '\n' << kUsage;
        return 2;
    }
    if (options->help) {
        out << kUsage << kHelp;
        return 0;
    }
    if (options->historyCsv) {
        // A history not made yet is an empty one.
        History history;
        if (std::filesystem::exists(HistoryPath()) && !history.OpenToRead()) {
            err << "mirelo-forecast: cannot read the history " << HistoryPath() << '\n';
            return 1;
        }
        out << HistoryCsv(history);
        out.flush();
        return 0;
    }
    QTemporaryFile download(QDir::tempPath() + QStringLiteral("/mirelo-forecast-XXXXXX.html"));
    const std::optional<std::string> page = PageFileFor(*options, download, error);
    if (!page) {
        err << "mirelo-forecast: " << error << '\n';
        return 1;
    }

    const std::time_t now = options->now.value_or(std::time(nullptr));
    AuctionRecord record;
    BidLog log;
    const int keiko = options->keiko.value_or(StoredTendency());
    const PageReading reading = ReadBidHistoryPage(*page, now, keiko, record, log);
    if (record.title.empty() && log.Count() == 0) {
        err << "mirelo-forecast: " << options->page << " is not a bid-history page (no item title, no bids)\n";
        return 1;
    }
    const std::optional<Prediction>& prediction = reading.prediction;

    // Only --record writes: replaying saved pages must not fill the history.
    History history;
    bool recorded = false;
    if (options->record) {
        const std::string address = HasWebScheme(options->page) ? options->page : std::string();
        recorded = history.Open() && RecordReading(history, reading, log, address);
    } else {
        history.OpenToRead();
    }
    const std::optional<MarketOutlook> outlook = history.Outlook(reading.auction, log, prediction, now);

    const std::vector<NotTaken> notTaken =
        history.NotTakenSales(reading.auction.title, reading.auction.auctionId,
                              outlook ? std::optional<MarketPrice>(outlook->market) : std::nullopt);
    const std::optional<ForecastSpread> spread =
        SpreadOf(history, outlook, reading.auction, log, prediction, keiko, now);
    const Report report{record, log, prediction, now, keiko, outlook, notTaken, spread, options->limit};
    if (options->json)
        out << JsonReport(report);
    else
        out << InEncoding(TextReport(report, QLocale::system()), encoding);
    out.flush();

    if (!prediction) {
        err << "mirelo-forecast: no forecast: "
            << (log.Count() == 0 ? "the page lists no bids" : "the end time cannot be read") << '\n';
        return 1;
    }
    if (options->record && !recorded) {
        err << "mirelo-forecast: not recorded: "
            << (record.auctionId.empty() ? "the page names no auction ID"
                                         : "the history " + HistoryPath() + " cannot be written")
            << '\n';
        return 3;
    }
    return 0;
}
