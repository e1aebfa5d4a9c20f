// Times a whole bid-history parse of a 400 KB page with 1,024 bids against
// iconv(3) converting the same bytes from EUC-JP to CP932 in this process:
// the parse reads, converts and scans the page, so converting alone is its floor.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <string>
#include <vector>

#include "analysis/BidHistory.h"

namespace {

constexpr std::size_t kPageBytes = 400 * 1024;
constexpr int kRuns = 40;

std::string EucFromUtf8(const std::string& utf8)
{
    iconv_t cd = iconv_open("EUC-JP", "UTF-8");
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    char* dst = out.data();
    std::size_t inLeft = utf8.size(), outLeft = out.size();
    if (cd == reinterpret_cast<iconv_t>(-1) || iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1)) {
        std::fprintf(stderr, "cannot make the page\n");
        std::exit(1);
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// The old page layout: header table, seller, then the log padded with the
// page's other rows up to the size.
std::string MakePage()
{
    std::string page = "<HTML><HEAD><TITLE>Yahoo!オークション - ｾｲｺｰ 腕時計 限定品 ジャンク扱い</TITLE></HEAD>\n"
                       "<BODY><center><TABLE>\n"
                       "<TR><TD>現在の価格：</TD><TD><b>103,400 円</b></TD></TR>\n"
                       "<TR><TD>開始日時：</TD><TD>12月20日 10時00分</TD></TR>\n"
                       "<TR><TD>終了日時：</TD><TD>12月30日 22時00分<a href=\"/jp/help\">?</a></TD></TR>\n"
                       "<TR><TD>入札件数：</TD><TD>1024 <small>(履歴)</small></TD></TR>\n"
                       "<TR><TD>オークションID：</TD><TD>b12345678</TD></TR>\n"
                       "<TR><TD bgcolor=ffffcc><b>希望落札価格：</b></TD><TD bgcolor=ffffcc><b>150,000 円</b></TD></TR>\n"
                       "</TABLE>出品者：<a href=\"/jp/show/rating?userID=seller_1&\">seller_1</a>\n"
                       "<b>入札の記録</b><BR>\n";
    std::vector<std::string> bids;
    for (int i = 1023; i >= 0; --i) {
        char row[256];
        std::snprintf(row, sizeof row, "<SMALL>[12月%d日 %d時%02d分] bidder_%04d %s %d,%03d円</SMALL><BR>\n",
                      20 + i / 110, (i / 5) % 24, i % 60, i, i % 3 ? "自動入札" : "手動入札", 1 + i / 10, (i * 100) % 1000);
        bids.emplace_back(row);
    }
    const std::string filler = "<TR><TD><font size=-1>この商品の説明：状態は良好です。付属品はすべて揃っています。</font></TD></TR>\n";
    std::string utf8Page = page;
    for (std::size_t i = 0; i < bids.size(); ++i) {
        utf8Page += bids[i];
        if (i % 4 == 0)
            utf8Page += filler;
    }
    utf8Page += "</center>\n";
    std::string euc = EucFromUtf8(utf8Page);
    const std::string eucFiller = EucFromUtf8(filler);
    while (euc.size() + eucFiller.size() <= kPageBytes)
        euc += eucFiller;
    return euc + std::string(kPageBytes - euc.size(), '\n');
}

// Best times of a and b, run in turns so that a busy machine slows both alike.
template <class A, class B>
std::pair<double, double> BestMilliseconds(A&& a, B&& b)
{
    auto time = [](auto& f) {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    double bestA = 1e9, bestB = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        bestA = std::min(bestA, time(a));
        bestB = std::min(bestB, time(b));
    }
    return {bestA, bestB};
}

} // namespace

int main()
{
    const std::string path = "bench-bid-history.txt";
    const std::string page = MakePage();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(page.data(), 1, page.size(), f);
        std::fclose(f);
    } else {
        return 1;
    }

    iconv_t cd = iconv_open("CP932", "EUC-JP");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "iconv cannot convert EUC-JP to CP932\n");
        return 1;
    }
    std::string converted(page.size(), '\0'); // CP932 is never longer than EUC-JP
    std::size_t failures = 0;
    auto convert = [&] {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(page.data());
        char* out = converted.data();
        std::size_t inLeft = page.size(), outLeft = converted.size();
        failures += iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1);
    };
    const std::time_t now = std::time(nullptr);
    AuctionRecord record;
    BidLog log;
    auto parse = [&] { ParseBidHistory(path, now, {}, record, log); };
    const auto [parseMs, iconvMs] = BestMilliseconds(parse, convert);
    iconv_close(cd);
    std::remove(path.c_str());
    if (failures != 0 || log.Count() != BidLog::kCapacity) {
        std::fprintf(stderr, "bad run: %zu iconv failures, %d bids\n", failures, log.Count());
        return 1;
    }

    std::printf("page: %zu bytes, %d bids; best of %d runs\n", page.size(), log.Count(), kRuns);
    std::printf("ParseBidHistory (read, convert, scan): %8.3f ms\n", parseMs);
    std::printf("iconv(3) EUC-JP -> CP932, in memory:  %8.3f ms\n", iconvMs);
    std::printf("parse / iconv: %.2f\n", parseMs / iconvMs);
    return 0;
}
