#include "base/Text.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>

std::string_view FitSjis(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t i = 0;
    while (i < maxBytes) {
        std::size_t len = IsSjisLead(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return text.substr(0, i);
}

std::string_view TrimText(std::string_view text)
{
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20)
        --e;
    return text.substr(b, e - b);
}

namespace {

// Opening a conversion loads glibc's module anew each time, some hundred
// microseconds: every title the board or the history reads converts, so each
// thread keeps the ones it has opened.
iconv_t Converter(const char* to, const char* from)
{
    struct Open {
        std::map<std::pair<std::string, std::string>, iconv_t> byPair;
        ~Open()
        {
            for (const auto& [pair, cd] : byPair)
                iconv_close(cd);
        }
    };
    thread_local Open open;
    const auto key = std::make_pair(std::string(to), std::string(from));
    const auto found = open.byPair.find(key);
    if (found != open.byPair.end()) {
        iconv(found->second, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        return found->second;
    }
    const iconv_t cd = iconv_open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1))
        open.byPair.emplace(key, cd);
    return cd;
}

// Converts with iconv, replacing what the target cannot hold by '?'.
std::string Convert(const char* to, const char* from, std::string_view in, bool fromUtf8)
{
    const iconv_t cd = Converter(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in);
    std::string out;
    out.resize(in.size() * 3 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            std::size_t used = static_cast<std::size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
            continue;
        }
        // Invalid or incomplete input: emit '?' and skip one source character.
        std::size_t skip = 1;
        unsigned char c = static_cast<unsigned char>(*src);
        if (fromUtf8) {
            if (c >= 0xF0) skip = 4;
            else if (c >= 0xE0) skip = 3;
            else if (c >= 0xC0) skip = 2;
        } else if (IsSjisLead(c)) {
            skip = 2;
        }
        if (skip > srcLeft)
            skip = srcLeft;
        src += skip;
        srcLeft -= skip;
        if (dstLeft < 1) {
            std::size_t used = static_cast<std::size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
        }
        *dst++ = '?';
        --dstLeft;
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return out;
}

bool NamesUtf8OrAscii(std::string_view encoding)
{
    std::string name;
    for (char c : encoding) {
        if (c != '-' && c != '_')
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name.empty() || name == "utf8" || name == "ansix3.41968" || name == "ascii" || name == "usascii";
}

} // namespace

std::string SjisFromUtf8(std::string_view utf8)
{
    return Convert("CP932", "UTF-8", utf8, true);
}

std::string Utf8FromSjis(std::string_view sjis)
{
    return Convert("UTF-8", "CP932", sjis, false);
}

std::string Utf8To(std::string_view utf8, const char* encoding)
{
    return Convert(encoding, "UTF-8", utf8, true);
}

std::string InEncoding(const std::string& utf8, const char* encoding)
{
    // The C locale's ASCII would turn every Japanese character into '?':
    // without a chosen locale, UTF-8 is the better guess for the terminal.
    if (!encoding || NamesUtf8OrAscii(encoding))
        return utf8;
    return Utf8To(utf8, encoding);
}

std::string_view SjisLiteral(std::u8string_view utf8)
{
    static std::mutex lock;
    static std::map<std::u8string, std::unique_ptr<std::string>, std::less<>> cache;
    std::lock_guard guard(lock);
    auto it = cache.find(utf8);
    if (it == cache.end()) {
        std::string_view plain(reinterpret_cast<const char*>(utf8.data()), utf8.size());
        it = cache.emplace(std::u8string(utf8), std::make_unique<std::string>(SjisFromUtf8(plain))).first;
    }
    return *it->second;
}

std::string Format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, fmt, args);
    }
    va_end(args);
    return out;
}
