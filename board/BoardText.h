// The board's cell texts, shared by the window and mirelo-forecast --board.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "board/Board.h"
#include "board/BoardGroups.h"

// A price as every text of the board writes it: "¥12,345".
QString BoardYen(std::int64_t value);

// The notification's summary and body (UTF-8) of an alert of row.
std::pair<std::string, std::string> AlertTexts(const BoardRow& row, AlertEvent event, std::int64_t now);

// "あと 2日 03時間", "あと 5時間 07分", "あと 04分 12秒", or "終了" at and after the end.
QString TimeLeftText(std::int64_t secondsLeft);

// "待機", "更新中", "エラー: the reason", "終了".
QString StateText(const BoardRow& row);
// "waiting", "reading", "error", "ended" (JSON).
const char* StateKey(RowState state);

// A row's numbers as the columns show them; none where not read yet.
struct BoardColumns {
    std::optional<std::int64_t> price;
    std::optional<std::int64_t> bids;
    std::optional<std::int64_t> end;
    std::optional<std::int64_t> secondsLeft;
    std::optional<std::int64_t> forecast; // the seed forecast; none once ended
    std::optional<std::int64_t> marketPrice;
    int marketCount = 0;
    std::optional<std::int64_t> marketForecast;
    std::optional<PriceBand> band;
    std::optional<double> chance; // of closing at or below the limit
};
BoardColumns ColumnsOf(const BoardRow& row, std::int64_t now);

// The rows' groups of one model, each expected to close at its market-aware
// forecast (else its forecast) while it runs.
std::vector<GroupMark> GroupsOf(const std::vector<BoardRow>& rows, std::int64_t now);
std::optional<std::int64_t> ExpectedClose(const BoardRow& row, std::int64_t now);

// The rows as CSV (history/Csv.h): title, address, current price, bids, end,
// seconds left, forecast, market price and count, market-aware forecast,
// limit, chance in percent, band, group and state.
std::string BoardCsv(const std::vector<BoardRow>& rows, std::int64_t now);
