// The board's rules with a clock the test holds: schedule, politeness,
// what a read changes, alerts once per event, limits kept with the list.
#include <gtest/gtest.h>

#include "base/AuctionList.h"
#include "base/Text.h"
#include "board/Board.h"
#include "board/BoardGroups.h"
#include "board/BoardText.h"
#include "tests/support/StoredSettings.h"

namespace {

using namespace schedule;
constexpr std::int64_t T0 = 1'800'000'000;

AuctionEntry Entry(const std::string& url)
{
    return {url, "title " + url, ""};
}

// A good read at now of an auction ending at end, with the latest price.
BoardReading Read(std::int64_t now, std::int64_t end, std::int64_t price = 1000, bool recordFailed = false)
{
    BoardReading r;
    r.ok = true;
    r.now = now;
    r.auction.auctionId = "a1";
    r.auction.title = "Camera";
    r.auction.endTime = end;
    r.auction.latestBidPrice = price;
    r.auction.logRows = 3;
    Prediction p;
    p.ended = now >= end;
    p.forecast = p.ended ? 0 : price * 2;
    p.endTime = end;
    r.prediction = p;
    r.recordFailed = recordFailed;
    return r;
}

BoardReading Failure(std::int64_t now)
{
    BoardReading r;
    r.now = now;
    r.error = "404";
    return r;
}

} // namespace

TEST(BoardScheduleTest, IntervalsShrinkTowardTheEndAndTheClosingReadFollowsIt)
{
    const struct {
        std::int64_t left;
        int floor;
        std::int64_t interval;
    } intervals[] = {
        {2 * kDay, 60, kHour},       {kDay, 60, 15 * kMinute},     {kHour + 1, 60, 15 * kMinute},
        {kHour, 60, 5 * kMinute},    {10 * kMinute + 1, 60, 5 * kMinute}, {10 * kMinute, 60, kMinute},
        {5, 60, kMinute},            {5, 120, 120},                {2 * kDay, 7200, 7200},
    };
    for (const auto& c : intervals)
        EXPECT_EQ(RefreshInterval(c.left, c.floor), c.interval) << c.left << " left, floor " << c.floor;

    // The hourly read does not skip the end: the closing read comes kAfterEnd after it.
    EXPECT_EQ(NextRead(T0 + 30 * kMinute, false, T0, 60), T0 + 5 * kMinute);
    EXPECT_EQ(NextRead(T0 + 20, false, T0, 60), T0 + 20 + kAfterEnd);
    EXPECT_EQ(NextRead(T0 + 5 * kHour, false, T0, 60), T0 + 15 * kMinute);
    EXPECT_EQ(NextRead(T0 - 1, true, T0, 60), std::nullopt); // ended and read: never again
    EXPECT_EQ(NextRead(std::nullopt, false, T0, 60), T0 + kHour);

    // A failure waits longer each time, up to an hour, never under the floor.
    EXPECT_EQ(RetryAt(1, T0, 30), T0 + 60);
    EXPECT_EQ(RetryAt(3, T0, 30), T0 + 240);
    EXPECT_EQ(RetryAt(1, T0, 120), T0 + 120);
    EXPECT_EQ(RetryAt(40, T0, 30), T0 + kMaxRetry);
}

TEST(BoardRulesTest, OneRequestAtATimeAGapApartAndNeverDuringARun)
{
    BoardSettings settings;
    settings.gapSeconds = 3;
    Board board(settings);
    board.SetEntries({Entry("http://h/jp/auction/a1"), Entry("http://h/jp/auction/a2"),
                      Entry("HTTP://H/jp/auction/a1")}, T0);
    ASSERT_EQ(board.Rows().size(), 3u);
    EXPECT_EQ(board.Rows()[0].key, board.Rows()[2].key); // the same auction twice

    EXPECT_EQ(board.NextToRead(T0, true), std::nullopt); // the run comes first
    const auto first = board.NextToRead(T0, false);
    ASSERT_TRUE(first);
    board.Started(*first, T0);
    EXPECT_EQ(board.NextToRead(T0 + 100, false), std::nullopt); // one at a time
    board.Finished(*first, Read(T0 + 1, T0 + kDay * 2));
    // Both rows of the auction took the read; only a2 is left to read.
    EXPECT_EQ(board.Rows()[0].state, RowState::Waiting);
    EXPECT_EQ(board.Rows()[2].last->auction.LatestPrice(), 1000);
    EXPECT_EQ(board.NextToRead(T0 + 3, false), std::nullopt); // the gap counts from the reply
    EXPECT_EQ(board.WaitForNext(T0 + 3), 1);
    EXPECT_EQ(board.NextToRead(T0 + 4, false), std::optional<std::size_t>(1));

    // A read given up for the run is due again at once and is no failure.
    board.Started(1, T0 + 4);
    board.Interrupted(1, T0 + 5);
    EXPECT_EQ(board.Rows()[1].failures, 0);
    EXPECT_EQ(board.Rows()[1].due, T0 + 5);

    // The list changes while nothing is read: kept rows keep their reads, new rows come due.
    board.SetEntries({Entry("http://h/jp/auction/a3"), Entry("http://h/jp/auction/a1")}, T0 + 10);
    ASSERT_EQ(board.Rows().size(), 2u);
    EXPECT_FALSE(board.Rows()[0].last);
    EXPECT_EQ(board.Rows()[0].due, T0 + 10);
    EXPECT_TRUE(board.Rows()[1].last);

    // A list far beyond the saved list's own size is still one row each, read in turn.
    std::vector<AuctionEntry> many;
    for (int i = 0; i < 10000; ++i)
        many.push_back(Entry("http://h/jp/auction/m" + std::to_string(i)));
    board.SetEntries(many, T0 + 20);
    EXPECT_EQ(board.Rows().size(), 10000u);
    EXPECT_TRUE(board.NextToRead(T0 + 20, false));
}

TEST(BoardRulesTest, ReadsFollowTheEndRetryFailuresAndStopOnceTheClosingPriceIsIn)
{
    Board board;
    board.SetEntries({Entry("http://h/jp/auction/a1")}, T0);
    const std::int64_t end = T0 + 5 * kMinute;
    auto read = [&](std::int64_t at, const BoardReading& r) {
        board.Started(0, at);
        board.Finished(0, r);
        return board.Rows()[0];
    };
    EXPECT_EQ(read(T0, Read(T0, end)).due, T0 + kMinute);
    // Bids at the very end moved it later: followed to the new end.
    const std::int64_t later = end + 20 * kMinute;
    BoardRow row = read(end + kAfterEnd, Read(end + kAfterEnd, later));
    EXPECT_EQ(row.state, RowState::Waiting);
    EXPECT_EQ(row.due, end + kAfterEnd + 5 * kMinute);
    // Failures: the reason shows, the wait grows.
    row = read(T0 + kHour, Failure(T0 + kHour));
    EXPECT_EQ(row.state, RowState::Error);
    const std::int64_t firstWait = *row.due - (T0 + kHour);
    row = read(T0 + 2 * kHour, Failure(T0 + 2 * kHour));
    EXPECT_GT(*row.due - (T0 + 2 * kHour), firstWait);
    // Ended, but the history was held by another copy: the closing price is read again.
    row = read(later + kAfterEnd, Read(later + kAfterEnd, later, 5000, true));
    EXPECT_EQ(row.state, RowState::Error);
    EXPECT_TRUE(row.due);
    EXPECT_FALSE(row.done);
    row = read(later + kHour, Read(later + kHour, later, 5000));
    EXPECT_EQ(row.state, RowState::Ended);
    EXPECT_TRUE(row.done);
    EXPECT_FALSE(row.due);
    EXPECT_EQ(board.WaitForNext(later + kDay), std::nullopt);
    // A reason that can never change is not tried on the schedule.
    BoardReading notAuction = Failure(T0);
    notAuction.permanent = true;
    board.SetEntries({Entry("mailto:x")}, T0);
    EXPECT_FALSE(read(T0, notAuction).due);
}

TEST(BoardRulesTest, AClosingPriceThatCannotBeRecordedIsTriedLessOftenEachTime)
{
    Board board;
    board.SetEntries({Entry("http://h/jp/auction/a1")}, T0);
    std::vector<std::int64_t> waits;
    std::int64_t at = T0;
    for (int i = 0; i < 8; ++i) {
        BoardReading closing = Read(at, T0 - kHour, 1000, true);
        closing.recordError = "why";
        board.Started(0, at);
        board.Finished(0, closing);
        waits.push_back(*board.Rows()[0].due - at);
        at = *board.Rows()[0].due;
    }
    EXPECT_EQ(waits, (std::vector<std::int64_t>{60, 120, 240, 480, 960, 1920, 3600, 3600}));
    EXPECT_EQ(board.Rows()[0].error, "why");
    EXPECT_FALSE(board.Rows()[0].done);
    board.Started(0, at);
    board.Finished(0, Read(at, T0 - kHour, 1000));
    EXPECT_TRUE(board.Rows()[0].done);
    EXPECT_EQ(board.Rows()[0].failures, 0);
}

TEST(BoardRulesTest, TheGapCountsFromTheEndOfARequestThatTimedOut)
{
    BoardSettings settings;
    settings.gapSeconds = 3;
    Board board(settings);
    board.SetEntries({Entry("http://h/jp/auction/a1"), Entry("http://h/jp/auction/a2")}, T0);
    board.Started(0, T0);
    board.Finished(0, Failure(T0), T0 + 30);
    EXPECT_EQ(board.NextToRead(T0 + 32, false), std::nullopt);
    EXPECT_EQ(board.NextToRead(T0 + 33, false), std::optional<std::size_t>(1));
}

TEST(BoardRulesTest, ARunOfTheMainWindowIsNewsForTheRowsOfItsAuction)
{
    Board board;
    board.SetEntries({Entry("http://h/jp/auction/a1"), Entry("http://h/jp/auction/a2")}, T0);
    BoardReading first = Read(T0, T0 + kDay, 1000);
    first.marketPrice = 3000;
    board.Started(0, T0);
    board.Finished(0, first);
    board.TakeReading("HTTP://H/jp/auction/a1", Read(T0 + kMinute, T0 + kDay, 1800));
    EXPECT_EQ(board.Rows()[0].Price(), 1800);
    EXPECT_EQ(board.Rows()[0].last->marketPrice, 3000); // the run searches no market
    EXPECT_EQ(board.Rows()[0].due, T0 + kMinute + 15 * kMinute);
    EXPECT_FALSE(board.Rows()[1].last);
}

TEST(BoardRulesTest, AlertsComeOncePerAuctionAndEvent)
{
    BoardSettings settings;
    settings.alertMinutes = 5;
    Board board(settings);
    board.SetLimits({{"a1", 1500}});
    board.SetEntries({Entry("http://h/jp/auction/a1"), Entry("http://h/jp/auction/a1")}, T0);
    const std::int64_t end = T0 + 10 * kMinute;
    board.Started(0, T0);
    board.Finished(0, Read(T0, end, 1000)); // forecast 2000 passes the limit 1500
    auto events = [&](std::int64_t now) {
        std::vector<AlertEvent> out;
        for (const BoardAlert& a : board.DueAlerts(now))
            out.push_back(a.event);
        return out;
    };
    EXPECT_EQ(events(T0), std::vector<AlertEvent>{AlertEvent::ForecastOverLimit}); // two rows, one auction
    EXPECT_TRUE(events(T0 + 1).empty());
    EXPECT_EQ(events(end - 5 * kMinute), std::vector<AlertEvent>{AlertEvent::EndingSoon});
    EXPECT_TRUE(events(end - kMinute).empty());

    board.Started(0, end - kMinute);
    board.Finished(0, Read(end - kMinute, end, 1600));
    EXPECT_EQ(events(end - kMinute), std::vector<AlertEvent>{AlertEvent::PriceOverLimit});
    BoardReading closing = Read(end + kAfterEnd, end, 1700);
    closing.halfTimeForecast = 1800;
    board.Started(0, end + kAfterEnd);
    board.Finished(0, closing);
    const std::vector<BoardAlert> ended = board.DueAlerts(end + kAfterEnd);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].event, AlertEvent::Ended);
    EXPECT_NE(ended[0].body.find("1,700"), std::string::npos);
    EXPECT_NE(ended[0].body.find("1,800"), std::string::npos);
    // A new limit may be passed anew.
    board.SetLimit(0, 1650);
    EXPECT_EQ(events(end + kHour), std::vector<AlertEvent>{AlertEvent::PriceOverLimit});
}

TEST(BoardTextTest, TimeLeftAndStateSayWhatTheyMean)
{
    EXPECT_EQ(TimeLeftText(2 * kDay + 3 * kHour + 59), QString::fromUtf8("あと 2日 03時間"));
    EXPECT_EQ(TimeLeftText(5 * kHour + 7 * kMinute), QString::fromUtf8("あと 5時間 07分"));
    EXPECT_EQ(TimeLeftText(4 * kMinute + 12), QString::fromUtf8("あと 04分 12秒"));
    EXPECT_EQ(TimeLeftText(0), QString::fromUtf8("終了"));
    BoardRow row;
    row.state = RowState::Error;
    row.error = std::string(SJ("オークションが見つかりません（404）"));
    EXPECT_EQ(StateText(row), QString::fromUtf8("エラー: オークションが見つかりません（404）"));
}

TEST(BoardLimitTest, LimitsStayWithTheirAuctionsThroughImportsAndRemovals)
{
    const std::string A = "http://h/jp/auction/a1", B = "http://h/jp/auction/b2", C = "http://h/jp/auction/c3";
    const std::optional<std::int64_t> none;
    const struct {
        std::vector<std::vector<std::string>> lists; // the list as each import left it, the last one shown
        std::vector<std::optional<std::int64_t>> limits;
    } cases[] = {
        {{{A, B}, {B, A}}, {none, 5000}},      // reordered
        {{{A, B}, {C, B}}, {none, none}},      // replaced: no other auction takes it
        {{{A, B}, {B}, {A, C}}, {5000, none}}, // dropped and added again
        {{{A, B}, {"http://H/jp/auction/a1?x=1", C}}, {5000, none}}, // another address of it
    };
    for (const auto& c : cases) {
        Board board;
        board.SetLimits({{"a1", 5000}});
        for (const auto& urls : c.lists) {
            std::vector<AuctionEntry> entries;
            for (const std::string& url : urls)
                entries.push_back(Entry(url));
            board.SetEntries(entries, T0);
        }
        std::vector<std::optional<std::int64_t>> limits;
        for (const BoardRow& row : board.Rows())
            limits.push_back(row.limit);
        EXPECT_EQ(limits, c.limits) << c.lists.back().front();
    }
}

TEST(BoardLimitTest, LimitsKeptByPlaceMoveToTheirAuctionsOnceAndOutliveTheList)
{
    AuctionList list;
    list.entries[0] = Entry("http://h/jp/auction/a1");
    list.entries[1] = Entry("http://h/jp/auction/b2");
    list.count = 2;
    ASSERT_TRUE(StoreAuctionList(list, true));
    // As an older version left them: by place, and one past the list's end.
    ASSERT_TRUE(stored::SetNumber("Limit000", 1200, kMireloListKey));
    ASSERT_TRUE(stored::SetNumber("Limit005", 900, kMireloListKey));
    ASSERT_EQ(StoreAuctionLimit("b2", 300), 0); // set since, by auction: it stays

    AuctionList read;
    ReadAuctionList(read);
    const std::map<std::string, std::int32_t> moved{{"a1", 1200}, {"b2", 300}};
    EXPECT_EQ(ReadAuctionLimits(), moved);
    EXPECT_EQ(stored::Number("Limit000", kMireloListKey), 0);

    // A list saved in another order, or without a1, moves nothing: a crash
    // before the save, or another copy's save, cannot hand a limit on.
    std::swap(list.entries[0], list.entries[1]);
    ASSERT_TRUE(StoreAuctionList(list, true));
    ReadAuctionList(read);
    list.count = 1;
    ASSERT_TRUE(StoreAuctionList(list, true));
    ReadAuctionList(read);
    EXPECT_EQ(ReadAuctionLimits(), moved);
    ASSERT_EQ(StoreAuctionLimit("a1", 0), 0);
    EXPECT_EQ(ReadAuctionLimits(), (std::map<std::string, std::int32_t>{{"b2", 300}}));
}

// Listings of one model and kind are one group, its lowest expected closing
// price marked; another model, a junk one or a lone title stays apart.
TEST(BoardGroupsTest, RowsOfOneModelFormAGroupWithItsCheapestMarked)
{
    const struct {
        const char* title;
        std::optional<std::int64_t> expected;
        const char* label;
        bool cheapest;
    } rows[] = {
        {"Nikon D70 ボディ 美品", 30000, "A", false},
        {"ニコン D70 デジタル一眼 ボディ", 26000, "A", true},
        {"Nikon D700 ボディ", 90000, "", false},
        {"【ジャンク】Nikon D70 ボディ 部品取り", 5000, "", false},
        {"Nikon D70 ボディ 本体のみ", std::nullopt, "A", false}, // ended: in the group, not a candidate
        {"SONY WH-1000XM4 ヘッドホン", 20000, "B", false},
        {"ソニー WH-1000XM4 ブラック", 19000, "B", true},
        {"手編みのマフラー", 1000, "", false},
    };
    std::vector<GroupInput> input;
    for (const auto& r : rows)
        input.push_back({SjisFromUtf8(r.title), r.expected});
    const std::vector<GroupMark> marks = GroupRows(input);
    ASSERT_EQ(marks.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(GroupLabel(marks[i].group), rows[i].label) << rows[i].title;
        EXPECT_EQ(marks[i].cheapest, rows[i].cheapest) << rows[i].title;
    }
    EXPECT_EQ(GroupLabel(26), "AA");

    // As a sweep changes the titles one read at a time, and back: the
    // grouper that remembers gives what grouping afresh gives. The last two
    // make the scarf a chain of three that falls apart without its middle.
    std::vector<std::string> real;
    for (const GroupInput& r : input)
        real.push_back(r.title);
    real.push_back(SjisFromUtf8("手編みのマフラー 青 緑"));
    real.push_back(SjisFromUtf8("マフラー 青 緑 白 黒"));
    std::vector<std::string> titles;
    std::vector<std::size_t> steps;
    for (std::size_t i = 0; i < real.size(); ++i) {
        titles.push_back("x" + std::to_string(i % 3));
        steps.push_back(i);
    }
    steps.insert(steps.end(), {1, 8, 0, 5, 8});
    TitleGrouper grouper;
    for (std::size_t step : steps) {
        titles[step] = titles[step] == real[step] ? "gone" : real[step];
        EXPECT_EQ(grouper.Group(titles), GroupTitles(titles)) << step;
    }
}

// The board's CSV keeps titles whole and guards a cell that starts a formula.
TEST(BoardCsvTest, RowsComeOutQuotedAndGuarded)
{
    Board board;
    std::vector<AuctionEntry> entries(2);
    entries[0].Url = "http://host.test/jp/auction/x1";
    entries[0].Title = "=HYPERLINK(\"http://evil\")";
    entries[1].Url = "http://host.test/jp/auction/x2";
    entries[1].Title = SjisFromUtf8("ニコン D70, 美品");
    board.SetEntries(entries, 1'700'000'000);
    const std::string csv = BoardCsv(board.Rows(), 1'700'000'000);
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_NE(csv.find("\r\n\"'=HYPERLINK(\"\"http://evil\"\")\",http://host.test/jp/auction/x1,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\n\"ニコン D70, 美品\",http://host.test/jp/auction/x2,"), std::string::npos) << csv;
}
