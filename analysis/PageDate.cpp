#include "analysis/PageDate.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "base/Text.h"

std::string PageDateLabel(const PageDate& date)
{
    // "%d/%d %02d:%02d" by hand: this runs once per bid of a long log, where
    // snprintf was a good part of the parse.
    std::string text;
    auto number = [&text](int value, bool twoDigits) {
        char digits[16];
        char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        if (twoDigits && end - digits == 1)
            text += '0';
        text.append(digits, static_cast<std::size_t>(end - digits));
    };
    number(date.month, false);
    text += '/';
    number(date.day, false);
    text += ' ';
    number(date.hour, true);
    text += ':';
    number(date.minute, true);
    if (text.size() > 31)
        text.resize(31);
    return text;
}

bool ReadPageNumber(std::string_view text, std::size_t& pos, int& value)
{
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    const std::size_t first = pos;
    long long v = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        v = v * 10 + (text[pos++] - '0');
        if (v > INT_MAX)
            return false;
    }
    if (pos == first)
        return false;
    value = static_cast<int>(negative ? -v : v);
    return true;
}

std::optional<int> ReadPagePrice(std::string_view text)
{
    std::string digits; // prices are short: no allocation
    digits.reserve(text.size());
    for (char c : text) {
        if (c != ',')
            digits += c;
    }
    std::size_t pos = 0;
    int value = 0;
    if (!ReadPageNumber(digits, pos, value))
        return std::nullopt;
    return value;
}

namespace {

bool ReadLiteral(std::string_view text, std::size_t& pos, std::string_view literal)
{
    if (text.substr(pos, literal.size()) != literal)
        return false;
    pos += literal.size();
    return true;
}

} // namespace

std::optional<PageDate> ReadPageDate(std::string_view sjis)
{
    static const std::string_view month = SJ("月"), day = SJ("日"), hour = SJ("時");
    PageDate d;
    std::size_t pos = 0;
    // Like scanf, the text after the last number is not checked, not even for 分.
    if (!ReadPageNumber(sjis, pos, d.month) || !ReadLiteral(sjis, pos, month) || !ReadPageNumber(sjis, pos, d.day)
        || !ReadLiteral(sjis, pos, day) || !ReadPageNumber(sjis, pos, d.hour) || !ReadLiteral(sjis, pos, hour)
        || !ReadPageNumber(sjis, pos, d.minute))
        return std::nullopt;
    return d;
}

PageClock::PageClock(std::time_t now) : now_(now)
{
    std::tm clock{};
    if (localtime_r(&now, &clock))
        year_ = clock.tm_year;
}

std::optional<std::time_t> PageClock::Midnight(int year, int month, int day)
{
    const std::array<int, 3> key{year, month, day};
    auto it = midnights_.find(key);
    if (it == midnights_.end()) {
        std::tm t{};
        t.tm_year = year;
        t.tm_mon = month - 1; // month >= -INT_MAX: no overflow
        t.tm_mday = day;
        t.tm_isdst = 0;
        const std::time_t when = std::mktime(&t);
        it = midnights_.emplace(key, when == static_cast<std::time_t>(-1) ? std::nullopt : std::optional(when)).first;
    }
    return it->second;
}

std::optional<std::time_t> PageClock::NearestTime(const PageDate& date)
{
    if (!year_)
        return std::nullopt;
    // A log's rows mostly share their day with the row before.
    if (!last_ || last_->first != std::array{date.month, date.day}) {
        std::array<std::optional<std::time_t>, 3> midnights;
        const int years[] = {*year_, *year_ - 1, *year_ + 1};
        for (std::size_t i = 0; i < midnights.size(); ++i)
            midnights[i] = Midnight(years[i], date.month, date.day);
        last_.emplace(std::array{date.month, date.day}, midnights);
    }
    std::optional<std::time_t> best;
    for (const std::optional<std::time_t>& midnight : last_->second) {
        if (!midnight)
            continue;
        // Standard time has one offset all day long; hours and minutes beyond
        // it carry over as mktime would carry them, in 64 bits.
        const std::time_t when = *midnight + date.hour * 3600LL + date.minute * 60LL;
        if (when < INT32_MIN || when > INT32_MAX)
            continue;
        if (!best || std::llabs(static_cast<long long>(when - now_)) < std::llabs(static_cast<long long>(*best - now_)))
            best = when;
    }
    return best;
}
