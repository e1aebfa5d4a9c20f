// Test pages are kept as UTF-8 in the tree and written as the EUC-JP the
// service sends; page dates are compared with the local clock's times.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iconv.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tests/support/Sandbox.h"

inline std::string Recode(const char* to, const char* from, std::string_view text)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv_open");
    std::string out(text.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1))
        throw std::runtime_error("cannot recode test text");
    out.resize(out.size() - outLeft);
    return out;
}

inline std::string EucFromUtf8(std::string_view utf8)
{
    return Recode("EUC-JP", "UTF-8", utf8);
}

// A fixture page of the source tree, e.g. "tests/analysis/pages/bid_history.html".
inline std::string FixturePage(const std::string& relative)
{
    return sandbox::ReadFile(std::string(MIRELO_SOURCE_DIR) + "/" + relative);
}

// Writes the UTF-8 page as EUC-JP into the test's directory.
inline void WriteEucPage(const std::string& path, std::string_view utf8)
{
    sandbox::WriteFile(path, EucFromUtf8(utf8));
}

// The local time of a date, daylight saving off, as the page readers make it.
inline std::time_t LocalTime(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = 0;
    return std::mktime(&t);
}

// Sets the local time zone for a scope; zones are spelled out in POSIX form
// ("EST5EDT,M3.2.0,M11.1.0") so that no zone files are needed.
class LocalZone {
public:
    explicit LocalZone(const char* tz)
    {
        if (const char* saved = std::getenv("TZ"))
            saved_ = saved;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~LocalZone()
    {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    std::optional<std::string> saved_;
};

// The fixture bid-history page (UTF-8) with the end time replaced and, for
// bids > 0, its log replaced by that many bids: the start row at 12月20日
// 10時00分 for 1,000 yen, then one about every five hours, each 100 yen above
// the one before, newest first as the page lists them.
inline std::string BidHistoryPage(int bids = 0, std::string_view endText = "12月30日 22時00分")
{
    std::string page = FixturePage("tests/analysis/pages/bid_history.html");
    const std::string fixtureEnd = "12月30日 22時00分";
    page.replace(page.find(fixtureEnd), fixtureEnd.size(), endText);
    if (bids <= 0)
        return page;
    auto yen = [](int value) {
        std::string digits = std::to_string(value);
        for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
            digits.insert(static_cast<std::size_t>(i), ",");
        return digits;
    };
    std::string log;
    for (int k = bids - 1; k >= 0; --k) {
        const int hours = 10 + 5 * k;
        char date[64];
        std::snprintf(date, sizeof date, "12月%d日 %d時%02d分", 20 + hours / 24, hours % 24, k * 7 % 60);
        const std::string who = k == 0 ? "オークション開始。 開始価格" : "bidder" + std::to_string(k % 7) + " 手動入札";
        log += "<SMALL>[" + std::string(date) + "] " + who + " " + yen(1000 + 100 * k) + "円</SMALL><BR>\n";
    }
    const std::string open = "（新しい順）<BR>\n";
    const std::size_t from = page.find(open) + open.size();
    page.replace(from, page.find("</center>") - from, log);
    return page;
}
