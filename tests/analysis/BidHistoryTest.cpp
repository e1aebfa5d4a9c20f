#include <gtest/gtest.h>

#include "analysis/BidHistory.h"
#include "analysis/Forecast.h"
#include "analysis/Prediction.h"
#include "base/Text.h"
#include "tests/analysis/PageFixtures.h"

namespace {

class BidHistoryTest : public testing::Test {
protected:
    void Parse(const std::string& path = "http.txt")
    {
        ParseBidHistory(
            path, now, [this](HeaderField f, std::string_view v) { seen.emplace_back(f, std::string(v)); }, record,
            log);
    }
    void ParsePage(std::string_view utf8)
    {
        WriteEucPage("http.txt", utf8);
        Parse();
    }
    int Seen(HeaderField field) const
    {
        return static_cast<int>(std::count_if(seen.begin(), seen.end(), [&](auto& s) { return s.first == field; }));
    }

    std::time_t now = LocalTime(2024, 12, 31, 12, 0);
    AuctionRecord record;
    BidLog log;
    std::vector<std::pair<HeaderField, std::string>> seen;
};

std::string S(std::string_view utf8)
{
    return SjisFromUtf8(utf8);
}

// One bid row of the log, as the page writes it.
std::string Cell(std::string_view utf8)
{
    return "<SMALL>" + std::string(utf8) + "</SMALL>";
}

} // namespace

TEST_F(BidHistoryTest, ReadsTheHeaderAndTheLogOfAPage)
{
    ParsePage(FixturePage("tests/analysis/pages/bid_history.html"));

    EXPECT_EQ(record.title, S("ｾｲｺｰ 腕時計 〓型 限定品"));
    EXPECT_EQ(record.startText, S("12月20日 10時00分"));
    EXPECT_EQ(record.endText, S("12月30日 22時00分"));
    EXPECT_EQ(record.bidCountText, "4 ");
    EXPECT_EQ(record.currentPriceText, "1,200");
    EXPECT_EQ(record.buyNowText, "5,000");
    EXPECT_EQ(record.auctionId, "b12345678");
    EXPECT_EQ(record.sellerId, "seller_1");
    using F = HeaderField;
    std::vector<F> order;
    for (auto& s : seen)
        order.push_back(s.first);
    EXPECT_EQ(order, (std::vector{F::Title, F::CurrentPrice, F::Start, F::End, F::BidCount, F::AuctionId, F::BuyNow,
                                  F::SellerId}))
        << "each field is told as it is cut, once, the seller from the first userID= only";
    EXPECT_EQ(HeaderLabelText(F::CurrentPrice, record.currentPriceText), S("1,200円"));
    EXPECT_EQ(HeaderLabelText(F::AuctionId, record.auctionId), "b12345678");

    ASSERT_EQ(log.Count(), 4) << "the row after </center> is not read";
    EXPECT_EQ(log[0].bidderId, "abc");
    EXPECT_EQ(log[0].mode, S("手動入札"));
    EXPECT_EQ(log[0].price, 1200);
    EXPECT_EQ(log[0].dateText, "12/28 21:05");
    EXPECT_EQ(log[0].time, LocalTime(2024, 12, 28, 21, 5));
    EXPECT_EQ(log[1].bidderId, "xyz") << "two cells on one line, in their order";
    EXPECT_EQ(log[1].dateText, "12/27 09:30");
    EXPECT_EQ(log[2].bidderId, S("ｱｲｳ")) << "half-width katakana does not shift the line";
    EXPECT_EQ(log[2].price, 1050);
    EXPECT_EQ(log[3].bidderId, S("オークション開始。"));
    EXPECT_EQ(log[3].mode, S(" 開始価格")) << "the start row's further text, with its leading blank";
    EXPECT_EQ(log[3].price, 1000);
}

TEST_F(BidHistoryTest, EachLineCutsOneFieldFromItsFirstPlaceInThePage)
{
    ParsePage("<TITLE>Yahoo!オークション - 品</TITLE><TR><TD>開始日時：</TD><TD>12月1日</TD>\n"
              "<TR><TD>オークションID：</TD><TD>x1</TD>\n");
    EXPECT_EQ(record.title, S("品"));
    EXPECT_EQ(record.startText, "") << "header rows on the title's line are not taken from it";
    EXPECT_EQ(record.auctionId, "x1");

    ParsePage("<TITLE>Yahoo!オークション - 品</TITLE><TR><TD>開始日時：</TD><TD>12月1日</TD>\n"
              "<TR><TD>開始日時：</TD><TD>12月2日</TD>\n"
              "<TR><TD>開始日時：</TD><TD>12月3日</TD>\n");
    EXPECT_EQ(record.startText, S("12月1日")) << "a later line cuts the page's first value";
    EXPECT_EQ(Seen(HeaderField::Start), 2) << "and shows it again";

    ParsePage("<TITLE>Yahoo!オークション - 長い\r\n題名</TITLE>\r\n"
              "<TR><TD>現在の価格：</TD><td><B>2,500 円</b>\r\n"
              "<TR><TD>入札件数：</TD><TD>7<SMALL>x</SMALL> 3<small>\r\n");
    EXPECT_EQ(record.title, S("長い題名")) << "a value spans lines, without their breaks";
    EXPECT_EQ(record.currentPriceText, "2,500") << "the tags after the price marker are skipped, not compared";
    EXPECT_EQ(record.bidCountText, "7<SMALL>x</SMALL> 3") << "markers are case-sensitive";
}

TEST_F(BidHistoryTest, AMissingEndMarkerLeavesTheFieldAndSkipsTheLine)
{
    ParsePage("<b>入札の記録</b>\n"
              "<TR><TD>終了日時：</TD><TD>12月30日 " + Cell("[12月28日 21時05分] a 手動入札 1,200円") + "\n"
              + Cell("[12月27日 21時05分] b 手動入札 1,100円") + "\n"
              "<TR><TD bgcolor=ffffcc><b>希望落札価格：</b></TD><TD bgcolor=ffffcc><b>5,000円</b>\n");
    EXPECT_EQ(record.endText, "");
    EXPECT_EQ(record.buyNowText, "") << "no buy-it-now price without its end marker";
    EXPECT_EQ(Seen(HeaderField::End), 0);
    ASSERT_EQ(log.Count(), 1) << "the cell on the end row's line is skipped";
    EXPECT_EQ(log[0].bidderId, "b");
}

TEST_F(BidHistoryTest, RowsWithoutReadableValuesAreSkipped)
{
    ParsePage("入札の記録\n"
              + Cell("[昨日] a 手動入札 100円") + Cell("[12月1日 1時1分] b 手動入札 円")
              + Cell("[12月1日 1時1分] 100円") + Cell("[12月2日 1時1分]x 200円") + Cell("[12月3日 1時1分] solo 300円")
              + Cell("[12月4日 1時1分] c 手動入札 1,234,567円") + "\n"
              + Cell("no bracket 5円") + Cell("[12月5日 1時1分] lost 手動入札 6円") + "\n"
              + Cell("[12月6日1時1分]nospace") + Cell("[12月7日 1時1分] lost 手動入札 7円") + "\n"
              + "<SMALL>[12月8日 1時1分] open 手動入札 8円\n");
    ASSERT_EQ(log.Count(), 3);
    EXPECT_EQ(log[0].bidderId, "") << "an empty middle part";
    EXPECT_EQ(log[0].mode, "");
    EXPECT_EQ(log[0].price, 200);
    EXPECT_EQ(log[1].bidderId, "") << "a middle part without a blank is the method";
    EXPECT_EQ(log[1].mode, "solo");
    EXPECT_EQ(log[2].price, 1234567);
}

TEST_F(BidHistoryTest, UndatedBidsTakeTheYearNearestTheClock)
{
    now = LocalTime(2025, 1, 2, 10, 0);
    ParsePage("入札の記録\n" + Cell("[1月2日 9時00分] b 手動入札 200円") + "\n"
              + Cell("[12月30日 21時05分] a 手動入札 100円") + "\n");
    ASSERT_EQ(log.Count(), 2);
    EXPECT_EQ(log[0].time, LocalTime(2025, 1, 2, 9, 0));
    EXPECT_EQ(log[1].time, LocalTime(2024, 12, 30, 21, 5)) << "a December bid read in January";
    EXPECT_EQ(log[1].dateText, "12/30 21:05");
}

TEST_F(BidHistoryTest, DateNumbersCarryOverAsMktimeCarriesThemAndBuyItNowReadsLikeAPrice)
{
    // Each date as a bid row's and as the end time; nothing: the row is skipped, no forecast.
    const struct {
        const char* date;
        std::optional<std::time_t> time;
        const char* label; // the numbers as read
    } dates[] = {
        {"12月7日 24時00分", LocalTime(2024, 12, 8, 0, 0), "12/7 24:00"},
        {"12月32日 22時00分", LocalTime(2025, 1, 1, 22, 0), "12/32 22:00"},
        {"11月31日 1時00分", LocalTime(2024, 12, 1, 1, 0), "11/31 01:00"},
        {"0月10日 9時00分", LocalTime(2024, 12, 10, 9, 0), "0/10 09:00"},
        {"12月30日 0時1500分", LocalTime(2024, 12, 31, 1, 0), "12/30 00:1500"},
        {"12月1日 0時-30分", LocalTime(2024, 11, 30, 23, 30), "12/1 00:-30"},
        {"12月30日 2147483647時00分", std::nullopt, ""}, // beyond 32-bit seconds
        {"12月x日 1時00分", std::nullopt, ""},
    };
    const std::string open = "（新しい順）<BR>\n";
    for (const auto& d : dates) {
        SCOPED_TRACE(d.date);
        std::string page = BidHistoryPage(0, d.date);
        page.insert(page.find(open) + open.size(), Cell("[" + std::string(d.date) + "] new 手動入札 1,300円") + "\n");
        ParsePage(page);
        const std::optional<Prediction> p = PredictFromRecords(record, log, now, 1);
        ASSERT_EQ(log.Count(), d.time ? 5 : 4);
        ASSERT_EQ(p.has_value(), d.time.has_value());
        if (d.time) {
            EXPECT_EQ(log[0].time, *d.time);
            EXPECT_EQ(p->endTime, *d.time);
            EXPECT_EQ(log[0].dateText, d.label);
            EXPECT_EQ(p->endLabel, d.label);
        }
    }

    const struct {
        const char* text;
        std::int64_t buyNow;
    } prices[] = {{" 1,150", 1150}, {"1,150円", 1150}, {"+2,000", 2000}, {"", -1}, {"価格", -1}, {"9,999,999,999", -1}};
    for (const auto& b : prices)
        EXPECT_EQ(ParseBuyNow(S(b.text)), b.buyNow) << b.text;
    std::string page = BidHistoryPage();
    page.replace(page.find("5,000 円</b>"), 5, " 1,150");
    now = LocalTime(2024, 12, 29, 22, 0);
    ParsePage(page);
    EXPECT_EQ(record.buyNowText, " 1,150");
    EXPECT_EQ(PredictFromRecords(record, log, now, 1)->forecast, 1150) << "capped, not without a cap";
}

TEST_F(BidHistoryTest, KeepsToTheSizesOfItsRecords)
{
    auto repeat = [](std::string_view text, int n) {
        std::string out;
        while (n-- > 0)
            out += text;
        return out;
    };
    std::string page = "<TITLE>Yahoo!オークション - " + repeat("あ", 200) + "</TITLE>\n入札の記録\n";
    page += Cell("[12月28日 1時00分] " + std::string(70, 'b') + " " + std::string(30, 'm') + repeat("入", 20) + " 1円");
    page += "\n";
    for (int i = 0; i < 1100; ++i)
        page += Cell("[12月1日 1時00分] u" + std::to_string(i) + " 手動入札 " + std::to_string(i) + "円") + "\n";
    ParsePage(page);

    EXPECT_EQ(record.title, S(repeat("あ", 127))) << "255 bytes hold 127 characters, not half of one more";
    ASSERT_EQ(log.Count(), BidLog::kCapacity);
    EXPECT_EQ(log[0].bidderId, std::string(63, 'b'));
    EXPECT_EQ(log[0].mode, std::string(30, 'm') + S(repeat("入", 16)));
    EXPECT_EQ(log[1022].bidderId, "u1021");
    EXPECT_EQ(log[1023].bidderId, "u1099") << "the page's last row stays the last record";
}

TEST_F(BidHistoryTest, APageBeyondItsBufferIsSearchedOnlyAsFarAsItHolds)
{
    std::string page = "入札の記録\n";
    for (int i = 0; i < 5000; ++i)
        page += "<!-- " + std::string(90, 'f') + " -->\n"; // 500,000 bytes
    page += "<TR><TD>オークションID：</TD><TD>late</TD>" + Cell("[12月1日 1時00分] u 手動入札 9円") + "\n";
    ParsePage(page);
    EXPECT_EQ(record.auctionId, "") << "the marker lies beyond the page text";
    EXPECT_EQ(log.Count(), 0) << "and its line is skipped like one without an end marker";

    page += Cell("[12月2日 1時00分] v 手動入札 10円") + "\n";
    ParsePage(page);
    ASSERT_EQ(log.Count(), 1) << "the lines are still read to the end";
    EXPECT_EQ(log[0].bidderId, "v");
}

TEST_F(BidHistoryTest, AMissingPageLeavesEverythingEmpty)
{
    record.title = "old";
    ParsePage("<TITLE>Yahoo!オークション - 前</TITLE>\n入札の記録\n" + Cell("[12月1日 1時00分] u 手動入札 9円") + "\n");
    ASSERT_EQ(log.Count(), 1);
    seen.clear();
    Parse("absent.txt");
    EXPECT_EQ(record.title, "");
    EXPECT_EQ(log.Count(), 0);
    EXPECT_TRUE(seen.empty());
}
