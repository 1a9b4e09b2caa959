// SPDX-License-Identifier: MIT
#include "terminal_columns.h"
#include "terminal_screen.h"

#include <gtest/gtest.h>

namespace {

using pixtera::ModuleColour;
using pixtera::TerminalColumns;
using pixtera::TerminalScreen;
using pixtera::Utf8Locale;

TEST(TerminalScreen, WithoutATerminalEveryFrameIsPrintedAsText)
{
    TerminalScreen screen({4, 2}, false, ModuleColour::Blue);
    EXPECT_EQ(screen.Draw(U"Hi  ab\u00e9\u20ac"), "+----+\n|Hi  |\n|ab\u00e9\u20ac|\n+----+\n");
    EXPECT_EQ(screen.Draw(U"Hi  ab\u00e9\u20ac"), "+----+\n|Hi  |\n|ab\u00e9\u20ac|\n+----+\n")
        << "plain output repeats unchanged frames: the service sends only changed ones";
    EXPECT_EQ(screen.Restore(), "");
}

TEST(TerminalScreen, UserCharactersAreDrawnAsBlocksOfTheirShape)
{
    TerminalScreen screen({5, 1}, false, ModuleColour::None);
    screen.DefineCharacter(0, {31, 0, 0, 0, 0, 0, 0, 0});
    screen.DefineCharacter(3, {31, 31, 31, 31, 0, 0, 0, 0});
    screen.DefineCharacter(7, {31, 31, 31, 31, 31, 31, 31, 31});
    screen.DefineCharacter(5, {0, 0, 0, 0, 0, 0, 31, 31});
    screen.DefineCharacter(6, {31, 0, 31, 0, 31, 0, 0, 0});
    const char32_t frame[] = {8, 3, 15, 13, 14};
    EXPECT_EQ(screen.Draw(std::u32string_view(frame, 5)), "+-----+\n|\u2594\u2580\u2588\u2582\u2592|\n+-----+\n");
    EXPECT_EQ(screen.Glyph(8), "\u2594") << "codes 8-15 are the characters 0-7";
}

TEST(TerminalScreen, OnATerminalTheFirstFrameDrawsTheModuleAndLaterOnesOnlyChangedCells)
{
    TerminalScreen screen({4, 2}, true, ModuleColour::None, 24);
    const std::string first = screen.Draw(U"abcdefgh");
    EXPECT_NE(first.find("\x1b[2J"), std::string::npos);
    EXPECT_NE(first.find("|abcd\x1b[0m|"), std::string::npos);
    EXPECT_NE(first.find("\x1b[5;24r"), std::string::npos) << "messages scroll below the module";

    const std::string update = screen.Draw(U"abXdefgY");
    EXPECT_EQ(update, "\x1b"
                      "7\x1b[2;4HX\x1b[0m\x1b[3;5HY\x1b[0m\x1b"
                      "8");
    EXPECT_EQ(screen.Draw(U"abXdefgY"), "\x1b"
                                        "7\x1b"
                                        "8")
        << "nothing changed, nothing drawn";
    EXPECT_EQ(screen.Restore(), "\x1b"
                                "7\x1b[r\x1b"
                                "8\x1b[?25h\x1b[0m")
        << "the scroll region ends without moving the cursor home, over the module";
}

TEST(TerminalScreen, ColoursAndRedefinedCharactersAreRedrawn)
{
    TerminalScreen screen({2, 1}, true, ModuleColour::Green, 0);
    const char32_t frame[] = {8, u'x'};
    EXPECT_NE(screen.Draw(std::u32string_view(frame, 2)).find("\x1b[30;42m\u2588x"), std::string::npos);
    screen.DefineCharacter(0, {0, 0, 0, 0, 0, 0, 0, 31});
    EXPECT_EQ(screen.Draw(std::u32string_view(frame, 2)), "\x1b"
                                                          "7\x1b[2;2H\x1b[30;42m\u2581\x1b[0m\x1b"
                                                          "8");
}

TEST(TerminalScreen, AnyLetterOneColumnWideShowsAndNothingElseReachesTheTerminal)
{
    TerminalScreen screen({8, 1}, false, ModuleColour::None);
    // Cyrillic and a letter beyond the first plane show; a wide ideograph, an emoji and a lone
    // combining mark would push the border; C1 controls (U+009B is CSI to some terminals) and DEL
    // are commands, not text.
    EXPECT_EQ(screen.Draw(U"\u0416\U0001D400\u4E2D\U0001F600\u0301\u009B\u007F\u00E9"),
              "+--------+\n|\u0416\U0001D400?????\u00E9|\n+--------+\n");
}

TEST(TerminalScreen, TextThatWouldMoveTheCursorOrReorderTheRowIsNeverSent)
{
    if (!Utf8Locale())
        GTEST_SKIP() << "no C.UTF-8 here; the fallback is tested below";
    TerminalScreen screen({14, 1}, false, ModuleColour::None);
    // Bidi embeddings, overrides and isolates, line and paragraph separators, a BOM, joiners, a
    // variation selector, non-characters, a tag and a skin tone: each a cell of its own, none of
    // them drawn, so the border stays and the text around them keeps its order.
    EXPECT_EQ(screen.Draw(U"\u202A\u202E\u2066\u2069\u2028\u2029\uFEFF\u200D\u200B\uFE0F\uFFFF\uFFFE"
                          U"\U000E0041\U0001F3FB"),
              "+--------------+\n|??????????????|\n+--------------+\n");
    EXPECT_EQ(screen.Draw(U"\uE000\uFFFD\x1b[2J\x9b"
                          U"31m"),
              "+--------------+\n|\uE000\uFFFD?[2J?31m    |\n+--------------+\n")
        << "a private-use icon and the replacement sign are one column; ESC and CSI are not sent";
}

TEST(TerminalScreen, WithoutAUtf8LocaleOnlyLettersKnownToBeNarrowAreDrawn)
{
    // Where the system has no C.UTF-8 nothing can be asked; a guess of one column for everything
    // let wide ideographs push the border and bidi overrides reorder the row.
    for (const char32_t c : {U'\u4E2D', U'\U0001F600', U'\u0301', U'\u202E', U'\u2066', U'\u200D', U'\u2028', U'\uFEFF',
                             U'\uFE0F', U'\uFFFF', U'\u00AD', U'\u1100', U'\U000E0041'})
        EXPECT_NE(TerminalColumns(c, nullptr), 1) << "U+" << std::hex << static_cast<unsigned>(c);
    for (const char32_t c : {U'A', U'\u00E9', U'\u0416', U'\u03A9', U'\u0151'})
        EXPECT_EQ(TerminalColumns(c, nullptr), 1) << "U+" << std::hex << static_cast<unsigned>(c);
    if (Utf8Locale()) {
        EXPECT_EQ(TerminalColumns(U'\u4E2D', Utf8Locale()), 2);
        EXPECT_EQ(TerminalColumns(U'\u0E01', Utf8Locale()), 1) << "with the locale, any narrow letter";
    }
}

TEST(TerminalScreen, FramesOfAnotherSizeAreCutOrPadded)
{
    TerminalScreen screen({3, 1}, false, ModuleColour::None);
    EXPECT_EQ(screen.Draw(U"abcdef"), "+---+\n|abc|\n+---+\n");
    EXPECT_EQ(screen.Draw(U"a"), "+---+\n|a  |\n+---+\n");
}

} // namespace
