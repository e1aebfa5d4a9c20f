// The watch board's rows and rules, without a window: which auction is read
// next (one request at a time, a gap apart, never during the main window's
// run), what a read changes in its rows, and which alerts are due. The
// clock is always passed in, so the rules are tested with any time.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "analysis/Auction.h"
#include "analysis/Prediction.h"
#include "base/AuctionList.h"
#include "board/Schedule.h"
#include "history/Market.h"

enum class RowState { Waiting, Reading, Error, Ended };

// What one read of an auction gave.
struct BoardReading {
    bool ok = false;
    bool permanent = false; // an address that is no auction: not tried on a schedule again
    std::string error;      // Shift_JIS, when not ok
    TypedAuction auction;
    std::optional<Prediction> prediction;
    std::optional<std::int64_t> marketPrice;
    int marketCount = 0;
    std::optional<std::int64_t> marketForecast;
    std::optional<std::int64_t> halfTimeForecast; // the recorded forecast nearest half the auction time
    std::optional<PriceSpread> spread; // where it may close around the forecast, while it runs
    std::optional<PriceBand> band;
    bool bandFromOwnErrors = false;    // the user's past forecasts rather than the market
    bool recorded = false;
    bool recordFailed = false; // wanted in the history and not stored
    std::string recordError;   // why not (Shift_JIS)
    std::int64_t now = 0;
};

struct BoardRow {
    std::string url;   // the list entry's
    std::string title; // the list entry's, until a read gives the page's
    std::string key;   // rows of one auction share it, and its reads
    std::string limitId; // AuctionLimitId: what its limit is kept under
    std::optional<std::int64_t> limit;

    std::optional<BoardReading> last; // the last good read
    RowState state = RowState::Waiting;
    std::string error; // Shift_JIS
    std::int64_t lastRead = 0;
    std::optional<std::int64_t> due; // none: no read on the schedule
    int failures = 0;
    bool done = false; // read ended with its closing price recorded
    bool seenRunning = false; // read before its end: its end is news

    std::optional<std::int64_t> EndTime() const;
    std::optional<std::int64_t> Price() const;
    bool OverLimit() const;         // the current price passed the limit
    bool ForecastOverLimit() const; // the market-aware forecast (the seed one without it) passed it
};

enum class AlertEvent { EndingSoon, PriceOverLimit, ForecastOverLimit, Ended };

struct BoardAlert {
    AlertEvent event;
    std::size_t row;
    std::string summary; // UTF-8, for the notification service
    std::string body;
};

class Board {
public:
    explicit Board(BoardSettings settings = {}) : settings_(settings) {}

    const BoardSettings& Settings() const { return settings_; }
    void SetSettings(const BoardSettings& settings) { settings_ = settings; }

    // The rows follow the list: entries still there keep their reads, new
    // ones are read at once, rows of removed entries go; each row takes its
    // auction's limit.
    void SetEntries(const std::vector<AuctionEntry>& entries, std::int64_t now);
    const std::vector<BoardRow>& Rows() const { return rows_; }
    // The limits by AuctionLimitId (ReadAuctionLimits), for every row.
    void SetLimits(const std::map<std::string, std::int32_t>& limits);
    // One auction's limit, on every row of it.
    void SetLimit(std::size_t row, std::optional<std::int64_t> limit);

    // A read made elsewhere (the main window's run) of the auction at url:
    // its rows show it and follow their schedule from it.
    void TakeReading(const std::string& url, BoardReading reading);

    // Every row due now ("すべて更新").
    void MarkAllDue(std::int64_t now);

    // The row to read now, or none: a read is under way, the main window's
    // run is active, the gap since the last request has not passed, or no
    // row is due. The earliest due first.
    std::optional<std::size_t> NextToRead(std::int64_t now, bool runActive) const;
    // Seconds until NextToRead may give a row (0: now); none when no row is due at all.
    std::optional<std::int64_t> WaitForNext(std::int64_t now) const;

    // The read of row's auction starts, and ends with reading; every row of
    // the same auction takes it. replyEnd: when the request ended on the
    // caller's clock (the gap to the next counts from there); the reading's
    // own time may be the service's.
    void Started(std::size_t row, std::int64_t now);
    void Finished(std::size_t row, const BoardReading& reading, std::optional<std::int64_t> replyEnd = std::nullopt);
    // A read given up for the main window's run: due again, no failure.
    void Interrupted(std::size_t row, std::int64_t now);
    bool Busy() const { return busy_; }
    // The rows the read under way (or the last one) is for.
    std::vector<std::size_t> RowsOfRead() const;

    // The alerts due at now, each once per auction and event, from rows
    // read since the board last resumed watching.
    std::vector<BoardAlert> DueAlerts(std::int64_t now);
    // Watching starts again after a pause: what was read before may be old news.
    void Resume(std::int64_t now) { freshFrom_ = now; }

    // The service's clock: its time (a reply's Date) at the local time of the
    // reply. Every time the board is given is the service's (ServiceTime).
    void LearnClock(std::int64_t local, std::int64_t service);
    std::int64_t ServiceTime(std::int64_t local) const { return local + clockOffset_; }
    std::int64_t ClockOffset() const { return clockOffset_; }

private:
    void Apply(BoardRow& row, const BoardReading& reading);

    BoardSettings settings_;
    std::vector<BoardRow> rows_;
    bool busy_ = false;
    std::string readingKey_;
    std::optional<std::int64_t> lastRequest_;
    std::set<std::pair<std::string, AlertEvent>> alerted_;
    std::map<std::string, std::int64_t> limits_;
    std::int64_t freshFrom_ = 0;
    std::int64_t clockOffset_ = 0;
};
