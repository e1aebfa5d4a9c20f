#include <gtest/gtest.h>

#include "base/Exception.h"
#include "base/Text.h"

TEST(TextTest, FitNeverSplitsADoubleByteCharacter)
{
    std::string s = std::string(SJ("あいう")); // six bytes
    EXPECT_EQ(FitSjis(s, 6), s);
    EXPECT_EQ(FitSjis(s, 5), SJ("あい"));
    EXPECT_EQ(FitSjis(s, 1), "");
    std::string mixed = "a" + s; // 7 bytes: a, then three pairs
    EXPECT_EQ(FitSjis(mixed, 4), "a" + std::string(SJ("あ")));
    EXPECT_EQ(FitSjis("\xB1\xB2\xB3", 2), "\xB1\xB2") << "half-width katakana is one byte";
}

TEST(TextTest, TrimRemovesBlanksAndControlsOnly)
{
    EXPECT_EQ(TrimText(" \t\r\n http://x/ \x01"), "http://x/");
    EXPECT_EQ(TrimText("   "), "");
    EXPECT_EQ(TrimText(std::string(SJ("　全角"))), SJ("　全角")) << "an ideographic space is text";
}

TEST(TextTest, ConvertsBetweenUtf8AndCodePage932)
{
    EXPECT_EQ(SjisFromUtf8("ミレロくん"), "\x83\x7E\x83\x8C\x83\x8D\x82\xAD\x82\xF1");
    EXPECT_EQ(Utf8FromSjis("\x83\x7E\x83\x8C\x83\x8D"), "ミレロ");
    EXPECT_EQ(SjisFromUtf8("ｸﾘｱ"), "\xB8\xD8\xB1");
    EXPECT_EQ(SjisFromUtf8("a\xF0\x9F\x98\x80z"), "a?z") << "no counterpart becomes '?'";
    EXPECT_EQ(Utf8FromSjis("a\x81"), "a?") << "a dangling lead byte";
}

TEST(TextTest, StrToIntAcceptsIntegersAndRefusesTheRest)
{
    EXPECT_EQ(StrToInt("8080"), 8080);
    EXPECT_EQ(StrToInt(" -12"), -12);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_THROW(StrToInt(""), EConvertError);
    EXPECT_THROW(StrToInt("80a"), EConvertError);
    EXPECT_THROW(StrToInt("99999999999"), EConvertError);
    try {
        StrToInt("abc");
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}
