#include "base/Exception.h"

#include <cstdint>

int StrToInt(std::string_view text)
{
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    std::int64_t value = 0;
    bool any = false;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else { any = false; break; }
        value = value * base + d;
        any = true;
        if (value > 0x80000000LL)
            break;
    }
    if (negative)
        value = -value;
    if (!any || value > INT32_MAX || value < INT32_MIN)
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<int>(value);
}
