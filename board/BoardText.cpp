#include "board/BoardText.h"

#include <algorithm>

#include "app/Text.h"

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
