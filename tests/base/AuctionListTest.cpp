#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

#include "base/AuctionList.h"
#include "base/Text.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/StoredSettings.h"

namespace {

AuctionList MakeList(int count, const char* tag)
{
    AuctionList list;
    list.count = count;
    for (int i = 0; i < count; ++i) {
        AuctionEntry& e = list.entries[static_cast<std::size_t>(i)];
        e.Title = Format("%s title %d", tag, i);
        e.Url = Format("http://page.example/jp/auction/%s%d", tag, i);
        e.Img = Format("http://img.example/%s%d.jpg", tag, i);
    }
    return list;
}

AuctionList Loaded()
{
    AuctionList list = MakeList(5, "stale");
    ReadAuctionList(list);
    return list;
}

} // namespace

TEST(AuctionListTest, SavedListComesBackWithItsPicturesAndNoSavesACountOfZero)
{
    ASSERT_TRUE(StoreAuctionList(MakeList(3, "a"), true));
    AuctionList list = Loaded();
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.entries[2].Title, "a title 2");
    EXPECT_EQ(list.entries[2].Url, "http://page.example/jp/auction/a2");
    EXPECT_EQ(list.entries[2].Img, "http://img.example/a2.jpg");
    EXPECT_EQ(list.entries[3].Title, "") << "nothing of the list before the load stays";

    ASSERT_TRUE(StoreAuctionList(MakeList(3, "b"), false));
    EXPECT_EQ(Loaded().count, 0);
    EXPECT_EQ(stored::Text("Title000", kMireloListKey), "a title 0") << "the entries stay stored";
}

TEST(AuctionListTest, StoredCountDecidesHowManyEntriesLoad)
{
    EXPECT_EQ(Loaded().count, 0) << "fresh machine";
    ASSERT_TRUE(stored::SetNumber("ListNum", 3));
    AuctionList list = Loaded();
    ASSERT_EQ(list.count, 3) << "a count without the \"List\" key: that many empty entries";
    EXPECT_EQ(list.entries[2].Title, "");
    EXPECT_EQ(list.entries[2].Url, "");

    ASSERT_TRUE(StoreAuctionList(MakeList(256, "x"), true));
    ASSERT_TRUE(stored::SetNumber("ListNum", 300));
    list = Loaded();
    ASSERT_EQ(list.count, 256) << "never beyond the list's room";
    EXPECT_EQ(list.entries[255].Title, "x title 255");
    ASSERT_TRUE(stored::SetNumber("ListNum", -1));
    EXPECT_EQ(Loaded().count, 0);

    // An overlong text is cut before a two-byte character, so it still reads back.
    list = MakeList(1, "a");
    list.entries[0].Title = std::string(254, 'x') + std::string(SJ("ミ"));
    ASSERT_TRUE(StoreAuctionList(list, true));
    EXPECT_EQ(Loaded().entries[0].Title, std::string(254, 'x'));
}

TEST(AuctionListTest, TitleLookupTrimsAndComparesBytes)
{
    AuctionList list = MakeList(4, "a");
    list.entries[1].Title = std::string(SJ("ミレロ　ぬいぐるみ")) + " \t";
    list.entries[3].Title = list.entries[1].Title;
    EXPECT_EQ(LookupTitle(" \r\n" + std::string(SJ("ミレロ　ぬいぐるみ")) + "  ", list), 1)
        << "blanks on either side are ignored; the first of two equal titles wins";
    EXPECT_EQ(LookupTitle("a title 2", list), 2);
    EXPECT_EQ(LookupTitle("A Title 2", list), -1) << "letter case counts";
    EXPECT_EQ(LookupTitle("a title", list), -1) << "the whole title";
    list.count = 2;
    EXPECT_EQ(LookupTitle("a title 2", list), -1) << "only entries in use";
}

TEST(AuctionListTest, SaveKilledHalfWayLeavesTheOldListOrTheNewOne)
{
    // A copy saving again and again is killed at some moment; whenever that
    // is, the stored count and entries must belong to one list.
    ASSERT_TRUE(StoreAuctionList(MakeList(40, "old"), true));
    const AuctionList lists[2] = {MakeList(200, "new"), MakeList(40, "old")};
    for (int round = 0; round < 6; ++round) {
        int pid = StartChild([&lists] {
            for (int i = 0;; ++i)
                StoreAuctionList(lists[i % 2], true);
            return 0;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(60 + 37 * round));
        kill(pid, SIGKILL);
        EXPECT_EQ(WaitChild(pid), -1);

        AuctionList list = Loaded();
        ASSERT_TRUE(list.count == 200 || list.count == 40) << list.count;
        const char* tag = list.count == 200 ? "new" : "old";
        for (int i = 0; i < list.count; ++i)
            ASSERT_EQ(list.entries[static_cast<std::size_t>(i)].Title, Format("%s title %d", tag, i)) << round;
    }
}
