#include <gtest/gtest.h>

#include "base/Text.h"
#include "import/MyAuctionScan.h"
#include "tests/analysis/PageFixtures.h"

namespace {

const std::string kHeading = "<BIG><B>Yahoo!オークション</B> - <B>マイ・オークション</B></BIG>\n";

class MyAuctionTopTest : public testing::Test {
protected:
    void Scan(std::string_view utf8)
    {
        WriteEucPage("myauction.txt", utf8);
        ParseMyAuctionTop("myauction.txt", sink, links);
    }
    std::vector<std::string> AfterLines() const
    {
        return {"A WTOPN > " + links.WTOPN, "A WTCLS > " + links.WTCLS, "A ENTRY > " + links.ENTRY,
                "A PUT   > " + links.PUT,   "A GET   > " + links.GET,   "A CLOSE > " + links.CLOSE};
    }

    MyAuctionLinks links;
    std::vector<std::string> trace;
    LogSink sink = [this](std::string_view line) { trace.emplace_back(line); };
};

class MyAuctionListTest : public testing::Test {
protected:
    void Scan(std::string_view utf8)
    {
        WriteEucPage("watch.txt", utf8);
        ParseMyAuctionList("watch.txt", SJ("<B>開催中のオークション</B>"), list);
    }

    AuctionList list;
};

std::string S(std::string_view utf8)
{
    return SjisFromUtf8(utf8);
}

} // namespace

TEST_F(MyAuctionTopTest, PicksTheListLinksAfterTheHeadingAndAdjustsTheWatchList)
{
    Scan(FixturePage("tests/import/pages/my_auction_top.html"));

    const std::string watch = "http://user.example/jp/show/mystatus?select=watchlist&watchclosed=0&open=1";
    EXPECT_EQ(links.WTOPN, watch + "&myaucpic=true &picsnum=50");
    EXPECT_EQ(links.WTCLS, "http://user.example/jp/show/mystatus?select=watchlist&watchclosed=1&closed=1"
                           "&myaucpic=false&picsnum=20");
    EXPECT_EQ(links.ENTRY, "http://user.example/jp/show/mystatus?select=bidding")
        << "not the link on the heading's own line";
    EXPECT_EQ(links.PUT, "http://user.example/jp/show/mystatus?select=selling");
    EXPECT_EQ(links.GET, "http://user.example/jp/show/mystatus?select=won");
    EXPECT_EQ(links.CLOSE, "http://user.example/jp/show/mystatus?select=closed");

    std::vector<std::string> expected = {"B WTOPN > " + watch + "&myaucpic=false&picsnum=20", "B WTCLS > "};
    for (auto& line : AfterLines())
        expected.push_back(line);
    EXPECT_EQ(trace, expected);
}

TEST_F(MyAuctionTopTest, WatchListLinksWithoutTheQueryKeysGetThemAppended)
{
    Scan(kHeading + "<A HREF=\"http://u/w?open=1\">ウォッチリスト</A>\n");
    EXPECT_EQ(links.WTOPN, "http://u/w?open=1&myaucpic=true&picsnum=50");
    EXPECT_EQ(links.WTCLS, "http://u/w?closed=1");

    Scan(kHeading + "<A HREF=\"http://u/w?watch=1&picsnum=5\">ウォッチリスト</A>\n");
    EXPECT_EQ(links.WTOPN, "http://u/w?watch=1&picsnum=50myaucpic=true")
        << "ten characters are overwritten, whatever they were";
    EXPECT_EQ(links.WTCLS, "http://u/w?closed=1") << "a link without \"open\" leaves the ended list's link";

    Scan(kHeading + "<A HREF=\"http://u/w?myaucpic=false&picsnum=5\">ウォッチリスト</A>\n");
    EXPECT_EQ(links.WTOPN, "http://u/w?myaucpic=true &picsnum=50")
        << "a short value at the end is overwritten up to the end, never beyond it";

    const std::string longLink = "http://u/w?open=1&q=" + std::string(1100, 'q');
    Scan(kHeading + "<A HREF=\"" + longLink + "\">ウォッチリスト</A>\n");
    EXPECT_EQ(links.WTOPN, longLink.substr(0, MyAuctionLinks::kLinkBytes));
    EXPECT_EQ(links.WTCLS.size(), MyAuctionLinks::kLinkBytes);
}

TEST_F(MyAuctionTopTest, AnEndingBeforeTheLinkStartEndsTheScan)
{
    Scan(kHeading + "<A HREF=\"http://u/bid\">入札中</A>\n"
                    "<a href=\"http://u/lower\">終了分</A>\n"
                    "\">出品中</A> <A HREF=\"http://u/sell\">\n"
                    "<A HREF=\"http://u/won\">落札</A>\n");
    EXPECT_EQ(links.ENTRY, "http://u/bid");
    EXPECT_EQ(links.CLOSE, "") << "a line without the upper-case link start is skipped";
    EXPECT_EQ(links.PUT, "");
    EXPECT_EQ(links.GET, "") << "no line after the early end is read";
    EXPECT_EQ(trace, AfterLines());
}

TEST_F(MyAuctionTopTest, LinksNotFoundKeepWhatAnEarlierScanFound)
{
    links.WTOPN = "http://u/old";
    links.WTCLS = "http://u/oldc";
    Scan(kHeading + "<A HREF=\"http://u/bid\">入札中</A>\n");
    EXPECT_EQ(links.WTOPN, "http://u/old");
    EXPECT_EQ(links.WTCLS, "http://u/oldc");
    EXPECT_EQ(trace, AfterLines()) << "only the six closing lines without a watch-list line";

    trace.clear();
    ParseMyAuctionTop("absent.txt", sink, links);
    EXPECT_EQ(links.ENTRY, "http://u/bid");
    EXPECT_EQ(trace, AfterLines()) << "traced also when the page cannot be read";
}

TEST_F(MyAuctionListTest, HarvestsEachAuctionWithItsPicture)
{
    list.count = 9;
    list.entries[3].Img = "stale";
    Scan(FixturePage("tests/import/pages/watch_list.html"));

    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.entries[0].Url, "http://page.example/jp/auction/a1");
    EXPECT_EQ(list.entries[0].Title, S("ｾｲｺｰ 腕時計"));
    EXPECT_EQ(list.entries[0].Img, "http://img.example/a1.jpg");
    EXPECT_EQ(list.entries[1].Title, S("古いカメラ &amp; レンズ")) << "entities stay as the page writes them";
    EXPECT_EQ(list.entries[1].Img, "http://img.example/a2.jpg");
    EXPECT_EQ(list.entries[2].Url, "/jp/auction/a3") << "a relative address is stored as it is";
    EXPECT_EQ(list.entries[2].Img, "http://img.example/a3.jpg");
    EXPECT_EQ(list.entries[3].Img, "") << "pictures of earlier entries are cleared";
}

TEST_F(MyAuctionListTest, FollowsTheHeadingAndTheTableHeader)
{
    list.entries[1].Img = "stale";
    Scan("<TR><TD><a href=\"http://p/0\">前</a></TD></TR>\n"
         "<B>開催中のオークション</B>\n"
         "<TR><TD><a href=\"http://p/00\">表の前</a></TD></TR>\n"
         "<TR><TH>商品ID</TH></TR>\n"
         "<TR><TD><a href=\"http://p/1\">一</a></TD><TD><a href=\"http://p/2\">二</a></TD></TR>\n"
         "<TR><TD><a href=\"http://p/x\">閉じない</TD><TD><a href=\"http://p/y\">y</TD></TR>\n"
         "<B>開催中のオークション</B>\n"
         "<TR><TD><a href=\"http://p/3\">三</a></TD></TR>\n"
         "<TR><TH>商品ID</TH></TR>\n"
         "<TR><TD><b><a href=\"http://p/4\">四</a></b></TD></TR>\n");
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.entries[0].Title, S("一"));
    EXPECT_EQ(list.entries[1].Title, S("二")) << "two links on a line, in their order";
    EXPECT_EQ(list.entries[1].Img, "");
    EXPECT_EQ(list.entries[2].Url, "http://p/4") << "a second heading waits for the table header again";

    Scan("");
    EXPECT_EQ(list.count, 0);
    ParseMyAuctionList("absent.txt", SJ("<B>開催中のオークション</B>"), list);
    EXPECT_EQ(list.count, 0);
}

TEST_F(MyAuctionListTest, StopsAtTheListsCapacityAndCutsLongTexts)
{
    std::string page = "<B>開催中のオークション</B>\n商品ID\n";
    std::string longTitle;
    for (int i = 0; i < 150; ++i)
        longTitle += "長";
    page += "<TD><a href=\"http://p/first\">" + longTitle + "</a>\n";
    for (int i = 1; i < 300; i += 2)
        page += "<TD><a href=\"http://p/" + std::to_string(i) + "\">t</a><TD><a href=\"http://p/" + std::to_string(i + 1)
                + "\">t</a>\n";
    Scan(page);
    ASSERT_EQ(list.count, AuctionList::kCapacity);
    EXPECT_EQ(list.entries[0].Title.size(), 254u) << "255 bytes without half a character";
    EXPECT_EQ(list.entries[255].Url, "http://p/255");
}
