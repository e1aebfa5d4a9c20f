// Dates as the service's pages write them: month, day, hour and minute, no year.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string_view>

struct PageDate {
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0; // 0..59
};

// One "%d" of scanf at pos: blanks, an optional sign, decimal digits. False,
// with pos past what was read, when there are no digits or they overflow an int.
bool ReadPageNumber(std::string_view text, std::size_t& pos, int& value);

// Reads "%d月%d日%d時%d分" from the start of a Shift_JIS text (each number may be
// preceded by blanks; text after the minute is ignored). Empty when the four
// numbers cannot be read or lie outside the ranges above.
std::optional<PageDate> ReadPageDate(std::string_view sjis);

// The local time of the date, daylight saving off, in whichever of the clock's
// year, the year before and the year after lies nearest to now, so that a
// December date read in January falls in the year just ended.
std::optional<std::time_t> NearestTime(const PageDate& date, std::time_t now);
