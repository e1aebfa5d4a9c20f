#include <array>
#include <gtest/gtest.h>

#include "analysis/PageDate.h"
#include "analysis/PageLines.h"
#include "base/Text.h"
#include "tests/analysis/PageFixtures.h"

namespace {

std::vector<std::string> Pieces(const std::string& bytes)
{
    sandbox::WriteFile("page.txt", bytes);
    PageLines lines("page.txt");
    std::vector<std::string> pieces;
    std::string_view piece;
    while (lines.Next(piece))
        pieces.emplace_back(piece);
    return pieces;
}

} // namespace

TEST(PageLinesTest, ReadsInTextModeOneLineInPieces)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(Pieces("ab\r\ncd\re\r\r\nlast"), (V{"ab\n", "cd\re\r\n", "last"}))
        << "only a carriage return right before a line feed is dropped";
    const std::string longLine(PageLines::kPieceBytes + 5, 'x');
    EXPECT_EQ(Pieces(longLine + "\n"), (V{std::string(PageLines::kPieceBytes, 'x'), "xxxxx\n"}));
    const std::string almost(PageLines::kPieceBytes - 1, 'y');
    EXPECT_EQ(Pieces(almost + "\r\nz"), (V{almost + "\n", "z"})) << "a CR LF across the end of a piece";
    EXPECT_EQ(Pieces(std::string("a\0b\nc\n", 6)), (V{"a", "c\n"})) << "a NUL ends the line's text";
    EXPECT_EQ(Pieces("\xA4\xA2\n"), V{std::string(SJ("あ")) + "\n"}) << "pieces arrive converted";

    PageLines missing("absent.txt");
    std::string_view piece;
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.Next(piece));
}

TEST(PageDateTest, ReadsMonthDayHourMinuteAndRefusesTheRest)
{
    auto read = [](std::string_view utf8) { return ReadPageDate(SjisFromUtf8(utf8)); };
    const auto d = read(" 12月28日 21時05分");
    ASSERT_TRUE(d);
    EXPECT_EQ((std::array{d->month, d->day, d->hour, d->minute}), (std::array{12, 28, 21, 5}));
    EXPECT_TRUE(read("1月 2日  9時 5分 終了"));
    EXPECT_TRUE(read("1月2日9時5")) << "as with scanf, nothing after the minute is checked";
    EXPECT_FALSE(read("12/28 21:05"));
    EXPECT_FALSE(read("12月28日 21時"));
    EXPECT_FALSE(read("99999999999月1日 0時0分")) << "a number beyond int is unreadable, not wrapped";
}

TEST(PageDateTest, GivesTheYearNearestTheClock)
{
    const std::time_t newYear = LocalTime(2025, 1, 2, 10, 0);
    EXPECT_EQ(NearestTime({12, 30, 21, 5}, newYear), LocalTime(2024, 12, 30, 21, 5)) << "not a date in the future";
    EXPECT_EQ(NearestTime({1, 2, 9, 0}, newYear), LocalTime(2025, 1, 2, 9, 0));
    const std::time_t yearEnd = LocalTime(2024, 12, 30, 12, 0);
    EXPECT_EQ(NearestTime({1, 3, 22, 0}, yearEnd), LocalTime(2025, 1, 3, 22, 0)) << "an end early next year";
    EXPECT_EQ(NearestTime({6, 10, 0, 0}, LocalTime(2024, 6, 15, 0, 0)), LocalTime(2024, 6, 10, 0, 0));
}

TEST(PageDateTest, StaysOnStandardTimeAcrossDaylightSavingChanges)
{
    const LocalZone zone("EST5EDT,M3.2.0,M11.1.0");
    const std::time_t now = LocalTime(2024, 3, 20, 12, 0);
    PageClock clock(now);
    for (int day = 1; day <= 31; ++day) {
        for (int hour : {0, 1, 2, 3, 12, 23}) {
            const std::optional<std::time_t> t = clock.NearestTime({3, day, hour, 30});
            EXPECT_EQ(t, LocalTime(2024, 3, day, hour, 30)) << "March " << day << " " << hour << ":30";
        }
    }
    EXPECT_EQ(clock.NearestTime({11, 3, 1, 30}), LocalTime(2023, 11, 3, 1, 30));
}
