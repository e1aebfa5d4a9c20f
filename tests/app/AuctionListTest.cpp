#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

#include "app/AuctionList.h"
#include "app/Registry.h"
#include "app/Text.h"
#include "tests/app/ChildProcess.h"
#include "tests/support/StoredSettings.h"

namespace {

AuctionList MakeList(int count, const std::string& tag)
{
    AuctionList list;
    list.count = count;
    for (int i = 0; i < count; ++i) {
        AuctionEntry& e = list.entries[static_cast<std::size_t>(i)];
        e.Title = Format("%s title %d", tag.c_str(), i);
        e.Url = Format("http://page.example/jp/auction/%s%d", tag.c_str(), i);
        e.Img = Format("http://img.example/%s%d.jpg", tag.c_str(), i);
    }
    return list;
}

std::optional<std::string> StoredText(const std::string& name)
{
    return stored::Text(name, kMireloListKey);
}

} // namespace

TEST(AuctionListTest, SavedListComesBackWithItsPictures)
{
    ASSERT_TRUE(StoreAuctionList(MakeList(3, "a"), true));
    EXPECT_EQ(StoredText("Title002"), "a title 2");
    EXPECT_EQ(StoredText("Img000"), "http://img.example/a0.jpg");

    AuctionList loaded = MakeList(5, "stale");
    ReadAuctionList(loaded);
    ASSERT_EQ(loaded.count, 3);
    for (int i = 0; i < 3; ++i) {
        const AuctionEntry& e = loaded.entries[static_cast<std::size_t>(i)];
        EXPECT_EQ(e.Title, Format("a title %d", i));
        EXPECT_EQ(e.Url, Format("http://page.example/jp/auction/a%d", i));
        EXPECT_EQ(e.Img, Format("http://img.example/a%d.jpg", i));
    }
    EXPECT_EQ(loaded.entries[3].Title, "") << "nothing of the list before the load stays";
}

TEST(AuctionListTest, SavingWithoutEntriesStoresACountOfZeroAndLeavesTheValues)
{
    ASSERT_TRUE(StoreAuctionList(MakeList(3, "a"), true));
    ASSERT_TRUE(StoreAuctionList(MakeList(3, "b"), false));
    AuctionList loaded;
    ReadAuctionList(loaded);
    EXPECT_EQ(loaded.count, 0);
    EXPECT_EQ(StoredText("Title000"), "a title 0");
}

TEST(AuctionListTest, StoredCountDecidesHowManyEntriesLoad)
{
    AuctionList loaded;
    ReadAuctionList(loaded);
    EXPECT_EQ(loaded.count, 0) << "fresh machine";

    // A count without the "List" key: that many empty entries.
    ASSERT_TRUE(stored::SetNumber("ListNum", 3));
    ReadAuctionList(loaded);
    ASSERT_EQ(loaded.count, 3);
    EXPECT_EQ(loaded.entries[2].Title, "");
    EXPECT_EQ(loaded.entries[2].Url, "");

    ASSERT_TRUE(StoreAuctionList(MakeList(256, "x"), true));
    ASSERT_TRUE(stored::SetNumber("ListNum", 300));
    ReadAuctionList(loaded);
    ASSERT_EQ(loaded.count, 256) << "never beyond the list's room";
    EXPECT_EQ(loaded.entries[255].Title, "x title 255");

    ASSERT_TRUE(stored::SetNumber("ListNum", -1));
    ReadAuctionList(loaded);
    EXPECT_EQ(loaded.count, 0);
}

TEST(AuctionListTest, SaveCutsOverlongTextsSoTheyReadBack)
{
    AuctionList list = MakeList(1, "a");
    list.entries[0].Title = std::string(254, 'x') + std::string(SJ("ミ"));
    ASSERT_TRUE(StoreAuctionList(list, true));
    AuctionList loaded;
    ReadAuctionList(loaded);
    EXPECT_EQ(loaded.entries[0].Title, std::string(254, 'x')) << "cut before the two-byte character";
}

TEST(AuctionListTest, TitleLookupTrimsAndComparesBytes)
{
    AuctionList list = MakeList(4, "a");
    list.entries[1].Title = std::string(SJ("ミレロ　ぬいぐるみ")) + " \t";
    list.entries[3].Title = list.entries[1].Title;
    EXPECT_EQ(LookupTitle(std::string(" \r\n") + std::string(SJ("ミレロ　ぬいぐるみ")) + "  ", list), 1)
        << "blanks around either side are ignored; the first of two equal titles wins";
    EXPECT_EQ(LookupTitle("a title 2", list), 2);
    EXPECT_EQ(LookupTitle("A Title 2", list), -1) << "letter case counts";
    EXPECT_EQ(LookupTitle("a title", list), -1) << "the whole title";
    EXPECT_EQ(LookupTitle("a title 3", list), -1);
    list.count = 2;
    EXPECT_EQ(LookupTitle("a title 1", list), -1) << "only entries in use";
    EXPECT_EQ(LookupTitle(" a title 0", list), 0);
}

TEST(AuctionListTest, SaveKilledHalfWayLeavesTheOldListOrTheNewOne)
{
    // The save at close is killed at some moment while it writes; whenever
    // that is, the stored count and entries must belong to one list.
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

        AuctionList loaded;
        ReadAuctionList(loaded);
        ASSERT_TRUE(loaded.count == 200 || loaded.count == 40) << loaded.count;
        const std::string tag = loaded.count == 200 ? "new" : "old";
        for (int i = 0; i < loaded.count; ++i)
            ASSERT_EQ(loaded.entries[static_cast<std::size_t>(i)].Title, Format("%s title %d", tag.c_str(), i)) << round;
    }
}
