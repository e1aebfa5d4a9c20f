// Shift_JIS (code page 932) byte texts: the program's internal text form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// True when b opens a two-byte Shift_JIS character.
constexpr bool IsSjisLead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Longest prefix of text that fits maxBytes without splitting a two-byte character.
std::string_view FitSjis(std::string_view text, std::size_t maxBytes);

// Removes leading and trailing blanks and control characters (bytes up to 0x20).
std::string_view TrimText(std::string_view text);

// Code page 932 <-> UTF-8. Characters without a counterpart become '?'.
std::string SjisFromUtf8(std::string_view utf8);
std::string Utf8FromSjis(std::string_view sjis);
// UTF-8 to another encoding iconv knows (a terminal's); the same '?' rule.
std::string Utf8To(std::string_view utf8, const char* encoding);
// UTF-8 text in the terminal's encoding (UTF-8 kept where the terminal
// names plain ASCII, which would lose every Japanese character).
std::string InEncoding(const std::string& utf8, const char* encoding);

// A Shift_JIS literal converted once from its UTF-8 spelling in the source.
// The result lives for the whole run, so the view stays valid.
std::string_view SjisLiteral(std::u8string_view utf8);
#define SJ(text) SjisLiteral(u8##text)

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
