// Dates as the service's pages write them: month, day, hour and minute, no year.
#pragma once

#include <array>
#include <cstddef>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// The numbers as read: out-of-range ones (24時, 12月32日) carry over as mktime
// carries them, so 24時00分 is midnight of the next day.
struct PageDate {
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
};

// One "%d" of scanf at pos: blanks, an optional sign, decimal digits. False,
// with pos past what was read, when there are no digits or they overflow an int.
bool ReadPageNumber(std::string_view text, std::size_t& pos, int& value);

// A price as the pages write it ("1,150"): every "," removed, then one "%d"
// from the start; text after the digits, such as 円, is ignored.
std::optional<int> ReadPagePrice(std::string_view text);

// The date as the program shows it: "%d/%d %02d:%02d", month/day hour:minute.
std::string PageDateLabel(const PageDate& date);

// Reads "%d月%d日%d時%d分" from the start of a Shift_JIS text (each number may be
// preceded by blanks; text after the minute is ignored). Empty when the four
// numbers cannot be read.
std::optional<PageDate> ReadPageDate(std::string_view sjis);

// Local times of undated page dates for a clock reading. The year is whichever
// of the clock's year, the year before and the year after puts the date
// nearest to the clock, so that a December date read in January falls in the
// year just ended. Times are local, daylight saving off (standard time).
// A date whose time lies outside 32-bit seconds (1901 to 2038), where the
// records could not hold it, has none.
class PageClock {
public:
    explicit PageClock(std::time_t now);

    std::optional<std::time_t> NearestTime(const PageDate& date);

private:
    // Each calendar day is converted once: a conversion asks the system for
    // its time zone each time, which would dominate reading a long bid log.
    std::optional<std::time_t> Midnight(int year, int month, int day);

    std::time_t now_;
    std::optional<int> year_; // the clock's, in years since 1900
    std::map<std::array<int, 3>, std::optional<std::time_t>> midnights_;
    // The midnights of the last month and day asked for, in the clock's year,
    // the year before and the year after.
    std::optional<std::pair<std::array<int, 2>, std::array<std::optional<std::time_t>, 3>>> last_;
};

inline std::optional<std::time_t> NearestTime(const PageDate& date, std::time_t now)
{
    return PageClock(now).NearestTime(date);
}
