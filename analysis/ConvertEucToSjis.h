// EUC-JP to Shift_JIS, one line at a time: every page the service returns is
// converted with this before any marker is searched.
#pragma once

#include <string>
#include <string_view>

// Appends the Shift_JIS form of one EUC-JP line to out; the result is never
// longer than the source. Two-byte characters use the JIS X 0208 arithmetic;
// half-width katakana (0x8E xx) become their single byte and supplementary
// characters (0x8F xx xx, no Shift_JIS form) become "〓". Stray bytes pass
// through unchanged, and a lead byte left at the end of the line is dropped.
void ConvertEucToSjis(std::string_view source, std::string& out);

inline std::string ConvertEucToSjis(std::string_view source)
{
    std::string out;
    ConvertEucToSjis(source, out);
    return out;
}
