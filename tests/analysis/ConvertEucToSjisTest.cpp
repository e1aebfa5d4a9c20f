#include <gtest/gtest.h>

#include "analysis/ConvertEucToSjis.h"
#include "base/Text.h"
#include "tests/analysis/PageFixtures.h"

TEST(ConvertEucToSjisTest, MatchesCodePage932ForEveryJisX0208Character)
{
    iconv_t cd = iconv_open("CP932", "EUC-JP");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int compared = 0;
    std::string line, expectedLine;
    for (int row = 1; row <= 84; ++row) {
        for (int cell = 1; cell <= 94; ++cell) {
            char euc[2] = {static_cast<char>(0xA0 + row), static_cast<char>(0xA0 + cell)};
            char sjis[8];
            char* in = euc;
            char* out = sjis;
            std::size_t inLeft = 2, outLeft = sizeof sjis;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1))
                continue; // an unassigned code point
            const std::string expected(sjis, static_cast<std::size_t>(out - sjis));
            ASSERT_EQ(ConvertEucToSjis(std::string_view(euc, 2)), expected) << "row " << row << " cell " << cell;
            line.append(euc, 2);
            expectedLine += expected;
            if (cell % 7 == 0) { // single bytes between characters must not disturb the pairing
                line += "a\n";
                expectedLine += "a\n";
            }
            ++compared;
        }
    }
    iconv_close(cd);
    EXPECT_EQ(compared, 6879) << "every character of JIS X 0208";
    EXPECT_EQ(ConvertEucToSjis(line), expectedLine);
}

TEST(ConvertEucToSjisTest, SingleShiftsKeepTheLineAligned)
{
    EXPECT_EQ(ConvertEucToSjis(EucFromUtf8("ｾｲｺｰ腕時計")), "\xBE\xB2\xBA\xB0" + std::string(SJ("腕時計")));
    EXPECT_EQ(ConvertEucToSjis(EucFromUtf8("丂型<a>")), std::string(SJ("〓型")) + "<a>")
        << "a supplementary character becomes one geta mark";
    EXPECT_EQ(ConvertEucToSjis("\x8E\xE0\xA1"), "\x8E\xE0\x9F")
        << "0x8E before a byte that is no katakana stays a stray byte";
    EXPECT_EQ(ConvertEucToSjis("\x8F\xB0"), "\x8F") << "a cut supplementary character";
}

TEST(ConvertEucToSjisTest, StrayBytesPassAndTheArithmeticHoldsAtTheEdges)
{
    EXPECT_EQ(ConvertEucToSjis("\xB0" "A\xA1"), "A\x88\x9F") << "a stray byte keeps the pending lead";
    EXPECT_EQ(ConvertEucToSjis("ab\xB0"), "ab") << "a lead at the end of the line is dropped";
    EXPECT_EQ(ConvertEucToSjis("\xB0\xA1\n"), "\x88\x9F\n");
    EXPECT_EQ(ConvertEucToSjis("\xFE\xFE\xFD\xA1\x80\xA0"), "\xEF\xFC\xEF\x40\x80\xA0")
        << "rows beyond JIS X 0208 follow the arithmetic";
    std::string out = "kept";
    ConvertEucToSjis("\xA4\xA2", out);
    EXPECT_EQ(out, "kept" + std::string(SJ("あ")));
}
