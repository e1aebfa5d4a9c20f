#include "board/BoardText.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "analysis/Prediction.h"
#include "base/Text.h"
#include "history/Csv.h"

QString BoardYen(std::int64_t value)
{
    return YenText(value, QLocale());
}

std::pair<std::string, std::string> AlertTexts(const BoardRow& row, AlertEvent event, std::int64_t now)
{
    const std::string title = Utf8FromSjis(row.title);
    switch (event) {
    case AlertEvent::EndingSoon: {
        const std::int64_t left = row.EndTime().value_or(now) - now;
        return {"まもなく終了: " + title, QString::fromUtf8("あと %1 分で終了します。現在 %2")
                                              .arg((left + 59) / 60)
                                              .arg(BoardYen(row.Price().value_or(0)))
                                              .toStdString()};
    }
    case AlertEvent::PriceOverLimit:
        return {"上限を超えました: " + title, QString::fromUtf8("現在の価格 %1 が上限 %2 を超えました。")
                                                   .arg(BoardYen(row.Price().value_or(0)), BoardYen(row.limit.value_or(0)))
                                                   .toStdString()};
    case AlertEvent::ForecastOverLimit: {
        const std::int64_t forecast = row.last ? row.last->marketForecast.value_or(
                                                     row.last->prediction ? row.last->prediction->forecast : 0)
                                               : 0;
        return {"予測が上限を超えました: " + title, QString::fromUtf8("相場を加味した予測 %1 が上限 %2 を超えました。")
                                                         .arg(BoardYen(forecast), BoardYen(row.limit.value_or(0)))
                                                         .toStdString()};
    }
    case AlertEvent::Ended: {
        if (!row.last || !row.last->auction.HasBids())
            return {"終了: " + title, "入札なしで終了しました。"};
        QString body = QString::fromUtf8("落札価格 %1").arg(BoardYen(row.Price().value_or(0)));
        if (row.last->halfTimeForecast)
            body += QString::fromUtf8("（中間の予測 %1）").arg(BoardYen(*row.last->halfTimeForecast));
        return {"終了: " + title, body.toStdString()};
    }
    }
    return {};
}

QString TimeLeftText(std::int64_t left)
{
    if (left <= 0)
        return QString::fromUtf8("終了");
    const std::int64_t days = left / 86400, hours = left % 86400 / 3600, minutes = left % 3600 / 60,
                       seconds = left % 60;
    auto two = [](std::int64_t n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (days > 0)
        return QString::fromUtf8("あと %1日 %2時間").arg(days).arg(two(hours));
    if (hours > 0)
        return QString::fromUtf8("あと %1時間 %2分").arg(hours).arg(two(minutes));
    return QString::fromUtf8("あと %1分 %2秒").arg(two(minutes), two(seconds));
}

QString StateText(const BoardRow& row)
{
    switch (row.state) {
    case RowState::Waiting:
        return QString::fromUtf8("待機");
    case RowState::Reading:
        return QString::fromUtf8("更新中");
    case RowState::Error:
        return QString::fromUtf8("エラー: ") + QString::fromStdString(Utf8FromSjis(row.error));
    case RowState::Ended:
        return QString::fromUtf8("終了");
    }
    return {};
}

const char* StateKey(RowState state)
{
    switch (state) {
    case RowState::Waiting:
        return "waiting";
    case RowState::Reading:
        return "reading";
    case RowState::Error:
        return "error";
    case RowState::Ended:
        return "ended";
    }
    return "";
}

BoardColumns ColumnsOf(const BoardRow& row, std::int64_t now)
{
    BoardColumns c;
    if (!row.last)
        return c;
    const BoardReading& r = *row.last;
    c.price = r.auction.LatestPrice();
    if (r.auction.bidCount)
        c.bids = *r.auction.bidCount;
    else
        c.bids = std::max(r.auction.logRows - 1, 0);
    c.end = row.EndTime();
    if (c.end)
        c.secondsLeft = std::max<std::int64_t>(*c.end - now, 0);
    if (r.prediction && !r.prediction->ended)
        c.forecast = r.prediction->forecast;
    c.marketPrice = r.marketPrice;
    c.marketCount = r.marketCount;
    c.marketForecast = r.marketForecast;
    if (c.forecast && r.spread) {
        c.band = r.band;
        if (row.limit)
            c.chance = ChanceAtOrBelow(*r.spread, *row.limit);
    }
    return c;
}

std::optional<std::int64_t> ExpectedClose(const BoardRow& row, std::int64_t now)
{
    const BoardColumns c = ColumnsOf(row, now);
    return c.forecast ? (c.marketForecast ? c.marketForecast : c.forecast) : std::nullopt;
}

std::vector<GroupMark> GroupsOf(const std::vector<BoardRow>& rows, std::int64_t now)
{
    std::vector<GroupInput> input;
    for (const BoardRow& row : rows)
        input.push_back({row.title, ExpectedClose(row, now)});
    return GroupRows(input);
}

std::string BoardCsv(const std::vector<BoardRow>& rows, std::int64_t now)
{
    auto text = [](std::string_view utf8) { return CsvField(utf8); };
    auto number = [](std::optional<std::int64_t> value) {
        return value ? CsvField(std::to_string(*value), false) : std::string();
    };
    std::string csv(kCsvBom);
    csv += CsvRow({text("商品名"), text("アドレス"), text("現在価格"), text("入札"), text("終了日時"), text("残り秒"),
                   text("予測"), text("相場"), text("相場件数"), text("相場加味予測"), text("上限"), text("落札見込み%"),
                   text("予想範囲 下"), text("予想範囲 上"), text("同型"), text("状態")});
    const std::vector<GroupMark> groups = GroupsOf(rows, now);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const BoardRow& row = rows[i];
        const BoardColumns c = ColumnsOf(row, now);
        const std::string end =
            c.end ? QDateTime::fromSecsSinceEpoch(*c.end).toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString()
                  : std::string();
        std::string group = GroupLabel(groups[i].group);
        if (groups[i].cheapest)
            group += "・最安見込み";
        csv += CsvRow({text(Utf8FromSjis(row.title)), text(Utf8FromSjis(row.url)), number(c.price), number(c.bids),
                       text(end), number(c.secondsLeft), number(c.forecast), number(c.marketPrice),
                       c.marketPrice ? number(c.marketCount) : std::string(), number(c.marketForecast),
                       number(row.limit),
                       c.chance ? CsvField(std::to_string(std::lround(*c.chance * 100)), false) : std::string(),
                       number(c.band ? std::optional(c.band->low) : std::nullopt),
                       number(c.band ? std::optional(c.band->high) : std::nullopt), text(group),
                       text(StateText(row).toStdString())});
    }
    return csv;
}
