#include "analysis/ConvertEucToSjis.h"

#include <cstddef>

namespace {

constexpr bool IsEucByte(unsigned char b)
{
    return b >= 0xA1 && b <= 0xFE;
}

} // namespace

void ConvertEucToSjis(std::string_view source, std::string& out)
{
    const auto* src = reinterpret_cast<const unsigned char*>(source.data());
    const std::size_t n = source.size();
    const std::size_t start = out.size();
    out.resize(start + n);
    auto* dst = reinterpret_cast<unsigned char*>(out.data()) + start;

    int lead = -1; // pending first byte of a two-byte character
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = src[i];
        if (!IsEucByte(b)) {
            // Single shifts: without them a half-width katakana would pair with
            // the next byte and shift every later character on the line.
            if (b == 0x8E && i + 1 < n && src[i + 1] >= 0xA1 && src[i + 1] <= 0xDF) {
                *dst++ = src[++i];
                continue;
            }
            if (b == 0x8F && i + 2 < n && IsEucByte(src[i + 1]) && IsEucByte(src[i + 2])) {
                *dst++ = 0x81; // "〓": the character has no Shift_JIS form
                *dst++ = 0xAC;
                i += 2;
                continue;
            }
            *dst++ = b; // a stray byte keeps any pending lead
            continue;
        }
        if (lead < 0) {
            lead = b;
            continue;
        }
        const unsigned h = static_cast<unsigned>(lead);
        const unsigned l = b;
        if (h & 1) {
            *dst++ = static_cast<unsigned char>((h >> 1) + (h < 0xDF ? 0x31 : 0x71));
            *dst++ = static_cast<unsigned char>(l < 0xE0 ? l - 0x61 : l - 0x60);
        } else {
            *dst++ = static_cast<unsigned char>((h >> 1) + (h < 0xDF ? 0x30 : 0x70));
            *dst++ = static_cast<unsigned char>(l - 2);
        }
        lead = -1;
    }
    out.resize(static_cast<std::size_t>(dst - reinterpret_cast<unsigned char*>(out.data())));
}
