#include "board/BoardTool.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <ostream>

#include "analysis/Prediction.h"
#include "base/AuctionList.h"
#include "base/Registry.h"
#include "base/Text.h"
#include "board/BoardReader.h"
#include "board/BoardText.h"

namespace {

constexpr const char* kUsage = "usage: mirelo-forecast --board [--json] [--record] [--tendency low|middle|high]\n";


void Pause(std::int64_t seconds)
{
    // The client's sockets live in the event loop: wait inside it.
    QEventLoop pause;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &pause, &QEventLoop::quit);
    pause.exec();
}

QJsonValue Number(std::optional<std::int64_t> value)
{
    return value ? QJsonValue(static_cast<qint64>(*value)) : QJsonValue();
}

std::string Field(std::optional<std::int64_t> value)
{
    return value ? std::to_string(*value) : std::string("-");
}

} // namespace

bool WantsBoard(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--board")
            return true;
    }
    return false;
}

int RunBoardTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const char* encoding)
{
    bool json = false, record = false;
    std::optional<int> keiko;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--board") {
        } else if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return 0;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--record") {
            record = true;
        } else if (arg == "--tendency" && i + 1 < args.size()) {
            std::string error;
            keiko = TendencyFromName(args[++i], error);
            if (!keiko) {
                err << "mirelo-forecast: " << error << '\n' << kUsage;
                return 2;
            }
        } else {
            err << "mirelo-forecast: --board takes no " << arg << '\n' << kUsage;
            return 2;
        }
    }

    AuctionList list;
    ReadAuctionList(list);
    std::vector<AuctionEntry> entries(list.entries.begin(), list.entries.begin() + list.count);
    Board board(ReadBoardSettings());
    board.SetLimits(ReadAuctionLimits());
    board.SetEntries(entries, std::time(nullptr));

    QTemporaryDir work;
    if (!work.isValid()) {
        err << "mirelo-forecast: cannot make a temporary folder\n";
        return 1;
    }
    BoardReader reader(work.filePath(QStringLiteral("board.html")).toStdString());
    const int tendency = keiko.value_or(StoredTendency());
    auto unread = [&] {
        for (const BoardRow& row : board.Rows()) {
            if (row.lastRead == 0 && row.due)
                return true;
        }
        return false;
    };
    // Seconds left and whether an auction has ended follow the service's clock, as on the board.
    auto now = [&board] { return board.ServiceTime(std::time(nullptr)); };
    while (unread()) {
        const std::optional<std::size_t> next = board.NextToRead(now(), false);
        if (!next) {
            Pause(board.WaitForNext(now()).value_or(1));
            continue;
        }
        board.Started(*next, now());
        const BoardReading reading = reader.Read(board.Rows()[*next].url, now(), tendency, record);
        if (reader.ServiceTime())
            board.LearnClock(std::time(nullptr), *reader.ServiceTime());
        board.Finished(*next, reading, now());
    }

    int status = list.count == 0 ? 1 : 0;
    bool notRecorded = false;
    QJsonArray array;
    std::string text;
    const std::int64_t at = now();
    const std::vector<GroupMark> groups = GroupsOf(board.Rows(), at);
    for (std::size_t i = 0; i < board.Rows().size(); ++i) {
        const BoardRow& row = board.Rows()[i];
        const BoardColumns c = ColumnsOf(row, at);
        if (row.state == RowState::Error && !row.last)
            status = 1;
        if (row.last && row.last->recordFailed)
            notRecorded = true;
        if (json) {
            array.append(QJsonObject{{"title", QString::fromStdString(Utf8FromSjis(row.title))},
                                     {"address", QString::fromStdString(Utf8FromSjis(row.url))},
                                     {"price", Number(c.price)},
                                     {"bids", Number(c.bids)},
                                     {"endTime", Number(c.end)},
                                     {"secondsLeft", Number(c.secondsLeft)},
                                     {"forecast", Number(c.forecast)},
                                     {"marketPrice", Number(c.marketPrice)},
                                     {"marketCount", c.marketCount},
                                     {"marketForecast", Number(c.marketForecast)},
                                     {"limit", Number(row.limit)},
                                     {"chance", c.chance ? QJsonValue(*c.chance) : QJsonValue()},
                                     {"bandLow", Number(c.band ? std::optional(c.band->low) : std::nullopt)},
                                     {"bandHigh", Number(c.band ? std::optional(c.band->high) : std::nullopt)},
                                     {"group", groups[i].group < 0 ? QJsonValue()
                                                                   : QJsonValue(QString::fromStdString(GroupLabel(groups[i].group)))},
                                     {"cheapest", groups[i].cheapest},
                                     {"state", QLatin1String(StateKey(row.state))},
                                     {"error", row.error.empty() ? QJsonValue()
                                                                 : QJsonValue(QString::fromStdString(Utf8FromSjis(row.error)))}});
        } else {
            const std::string end = c.end ? QDateTime::fromSecsSinceEpoch(*c.end).toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString()
                                          : std::string("-");
            text += Utf8FromSjis(row.title) + '\t' + Utf8FromSjis(row.url) + '\t' + Field(c.price) + '\t' + Field(c.bids)
                    + '\t' + end + '\t' + Field(c.secondsLeft) + '\t' + Field(c.forecast) + '\t' + Field(c.marketPrice)
                    + '\t' + Field(c.marketForecast) + '\t' + Field(row.limit) + '\t' + StateText(row).toStdString() + '\n';
        }
    }
    if (json)
        out << QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
    else
        out << InEncoding(text, encoding);
    out.flush();
    if (list.count == 0)
        err << "mirelo-forecast: the saved auction list is empty\n";
    if (status == 0 && record && notRecorded) {
        err << "mirelo-forecast: not every entry could be recorded in the history\n";
        return 3;
    }
    return status;
}
