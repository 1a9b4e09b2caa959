// SPDX-License-Identifier: MIT
#include <pixtera/platform/codepage.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

TEST(CodePage, Windows1252HighRangeMapsBothWays)
{
    // 0x80 is the euro sign, 0x9F Y with diaeresis, 0xE9 e acute.
    const std::string ansi = "\x80\x9f\xe9";
    EXPECT_EQ(AnsiToUtf16(ansi), u"\u20AC\u0178\u00E9");
    EXPECT_EQ(Utf16ToAnsi(u"\u20AC\u0178\u00E9"), ansi);
    EXPECT_EQ(AnsiToUtf8(ansi), "€Ÿé");
    EXPECT_EQ(Utf8ToAnsi("€Ÿé"), ansi);
}

TEST(CodePage, EveryByteRoundTripsThroughUtf16)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(all)), all);
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(Utf16ToAnsi(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(Utf16ToAnsi(u"\U0001F600"), "?") << "a surrogate pair is one character";
}

TEST(CodePage, Utf8AndUtf16CarryAllOfUnicode)
{
    const std::string utf8 = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
    const std::u16string utf16 = u"A\u00E9\u4E2D\U0001F600";
    EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
}

TEST(CodePage, MalformedInputBecomesReplacementCharacters)
{
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD") << "truncated sequence";
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong encoding";
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "encoded surrogate";
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(Utf16ToUtf8(lone), "x\xEF\xBF\xBDy");
}

TEST(CodePage, AUtf8PrefixNeverEndsInsideACharacter)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // a, e acute, euro sign, an emoji
    EXPECT_EQ(Utf8Prefix(text, 1), "a");
    EXPECT_EQ(Utf8Prefix(text, 2), "a") << "half of the e acute is left out";
    EXPECT_EQ(Utf8Prefix(text, 3), "a\xC3\xA9");
    EXPECT_EQ(Utf8Prefix(text, 5), "a\xC3\xA9");
    EXPECT_EQ(Utf8Prefix(text, 9), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Utf8Prefix(text, 10), text);
    EXPECT_EQ(Utf8Prefix(text, 0), "");
    std::string accents;
    for (int i = 0; i < 200; ++i)
        accents += "\xC3\xA9";
    const auto cut = Utf8Prefix(accents, 255);
    EXPECT_EQ(cut.size(), 254u);
    EXPECT_EQ(FindInvalidUtf8(cut), std::string::npos);
}

} // namespace
