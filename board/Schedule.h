// When the watch board reads each auction again, and how it keeps its
// settings. Times are seconds since 1970; the caller passes the clock.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

struct BoardSettings {
    // The shortest wait between two reads of one auction.
    static constexpr int kDefaultFloor = 60;
    static constexpr int kMinFloor = 30;
    // The gap between two requests of the board to the service.
    static constexpr int kDefaultGap = 3;
    static constexpr int kMinGap = 1;
    static constexpr int kDefaultAlertMinutes = 5;

    int floorSeconds = kDefaultFloor;
    int gapSeconds = kDefaultGap;
    int alertMinutes = kDefaultAlertMinutes;
    bool alerts = true;
    bool refreshWhileClosed = false; // with the main window only
};

// The stored settings, each clamped to its bounds; defaults where missing.
BoardSettings ReadBoardSettings();
bool StoreBoardSettings(const BoardSettings& settings);

namespace schedule {
constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 86400;
// The read that takes the closing price: long enough after the end for the
// service to have closed the auction, short enough that the user still looks.
constexpr std::int64_t kAfterEnd = 30;
// A failed read is tried again after a minute (or the floor), doubled each time up to an hour.
constexpr std::int64_t kFirstRetry = 60;
constexpr std::int64_t kMaxRetry = kHour;
} // namespace schedule

// The wait before the next read of a running auction ending at end: hourly
// beyond a day, every 15 minutes within a day, every 5 within an hour and
// every minute within the last ten; never below floorSeconds. Far ends
// change little and cost the service a request each; the last minutes are
// when bids come in.
std::int64_t RefreshInterval(std::int64_t secondsLeft, int floorSeconds);

// When an auction read at now, ending at end (none: unknown), is read next.
// A running auction is read once more kAfterEnd after its end whatever its
// interval. Nothing once it has been read ended: its closing price is in.
std::optional<std::int64_t> NextRead(std::optional<std::int64_t> end, bool readEnded, std::int64_t now,
                                     int floorSeconds);

// When a read that failed for the failures-th time in a row is tried again.
std::int64_t RetryAt(int failures, std::int64_t now, int floorSeconds);
