#include "analysis/ConvertEucToSjis.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr bool IsEucByte(unsigned char b)
{
    return b >= 0xA1 && b <= 0xFE;
}

// The JIS X 0208 arithmetic from an EUC-JP pair (h, l) to Shift_JIS, as tables.
struct PairTables {
    unsigned char first[256]{};
    unsigned char second[2][256]{}; // by h & 1, then l
};

constexpr PairTables MakePairTables()
{
    PairTables t;
    for (unsigned b = 0xA1; b <= 0xFE; ++b) {
        t.first[b] = static_cast<unsigned char>((b >> 1) + (b & 1 ? (b < 0xDF ? 0x31 : 0x71) : (b < 0xDF ? 0x30 : 0x70)));
        t.second[1][b] = static_cast<unsigned char>(b < 0xE0 ? b - 0x61 : b - 0x60);
        t.second[0][b] = static_cast<unsigned char>(b - 2);
    }
    return t;
}

constexpr PairTables kPair = MakePairTables();

// True when all eight bytes of w lie in 0xA1..0xFE: four whole two-byte
// characters when no lead byte is pending.
constexpr bool AllEuc(std::uint64_t w)
{
    constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    const std::uint64_t y = w ^ highs; // 0xA1..0xFE become 0x21..0x7E, all else leaves that range
    const std::uint64_t below = (y - 0x21 * ones) & ~y & highs;
    const std::uint64_t above = (y + ones) & highs; // 0x7F, for bytes below 0x80
    return ((y & highs) | below | above) == 0;
}

inline void WritePair(unsigned char*& dst, unsigned char h, unsigned char l)
{
    dst[0] = kPair.first[h];
    dst[1] = kPair.second[h & 1][l];
    dst += 2;
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
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = src[i];
        // Runs of what pages are made of, ASCII and two-byte characters, go
        // eight bytes at a time where they are long enough.
        if (b < 0x80) {
            for (std::uint64_t word; i + 8 <= n && (std::memcpy(&word, src + i, 8), !(word & 0x8080808080808080u));
                 i += 8, dst += 8)
                std::memcpy(dst, &word, 8);
            while (i < n && src[i] < 0x80)
                *dst++ = src[i++]; // a stray byte keeps any pending lead
            continue;
        }
        if (lead < 0 && i + 1 < n && IsEucByte(b) && IsEucByte(src[i + 1])) {
            for (std::uint64_t word; i + 8 <= n && (std::memcpy(&word, src + i, 8), AllEuc(word)); i += 8) {
                for (int k = 0; k < 8; k += 2)
                    WritePair(dst, src[i + k], src[i + k + 1]);
            }
            while (i + 1 < n && IsEucByte(src[i]) && IsEucByte(src[i + 1])) {
                WritePair(dst, src[i], src[i + 1]);
                i += 2;
            }
            continue;
        }
        ++i;
        if (!IsEucByte(b)) {
            // Single shifts: without them a half-width katakana would pair with
            // the next byte and shift every later character on the line.
            if (b == 0x8E && i < n && src[i] >= 0xA1 && src[i] <= 0xDF) {
                *dst++ = src[i++];
                continue;
            }
            if (b == 0x8F && i + 1 < n && IsEucByte(src[i]) && IsEucByte(src[i + 1])) {
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
        WritePair(dst, static_cast<unsigned char>(lead), b);
        lead = -1;
    }
    out.resize(static_cast<std::size_t>(dst - reinterpret_cast<unsigned char*>(out.data())));
}
