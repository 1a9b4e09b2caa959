// SPDX-License-Identifier: MIT
#include "terminal_screen.h"

#include <gtest/gtest.h>

namespace {

using pixtera::ModuleColour;
using pixtera::TerminalScreen;

TEST(TerminalScreen, WithoutATerminalEveryFrameIsPrintedAsText)
{
    TerminalScreen screen({4, 2}, false, ModuleColour::Blue);
    EXPECT_EQ(screen.Draw(u"Hi  ab\u00e9\u20ac"), "+----+\n|Hi  |\n|ab\u00e9\u20ac|\n+----+\n");
    EXPECT_EQ(screen.Draw(u"Hi  ab\u00e9\u20ac"), "+----+\n|Hi  |\n|ab\u00e9\u20ac|\n+----+\n")
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
    const char16_t frame[] = {8, 3, 15, 13, 14};
    EXPECT_EQ(screen.Draw(std::u16string_view(frame, 5)), "+-----+\n|\u2594\u2580\u2588\u2582\u2592|\n+-----+\n");
    EXPECT_EQ(screen.Glyph(8), "\u2594") << "codes 8-15 are the characters 0-7";
}

TEST(TerminalScreen, OnATerminalTheFirstFrameDrawsTheModuleAndLaterOnesOnlyChangedCells)
{
    TerminalScreen screen({4, 2}, true, ModuleColour::None, 24);
    const std::string first = screen.Draw(u"abcdefgh");
    EXPECT_NE(first.find("\x1b[2J"), std::string::npos);
    EXPECT_NE(first.find("|abcd\x1b[0m|"), std::string::npos);
    EXPECT_NE(first.find("\x1b[5;24r"), std::string::npos) << "messages scroll below the module";

    const std::string update = screen.Draw(u"abXdefgY");
    EXPECT_EQ(update, "\x1b"
                      "7\x1b[2;4HX\x1b[0m\x1b[3;5HY\x1b[0m\x1b"
                      "8");
    EXPECT_EQ(screen.Draw(u"abXdefgY"), "\x1b"
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
    const char16_t frame[] = {8, u'x'};
    EXPECT_NE(screen.Draw(std::u16string_view(frame, 2)).find("\x1b[30;42m\u2588x"), std::string::npos);
    screen.DefineCharacter(0, {0, 0, 0, 0, 0, 0, 0, 31});
    EXPECT_EQ(screen.Draw(std::u16string_view(frame, 2)), "\x1b"
                                                          "7\x1b[2;2H\x1b[30;42m\u2581\x1b[0m\x1b"
                                                          "8");
}

TEST(TerminalScreen, FramesOfAnotherSizeAreCutOrPadded)
{
    TerminalScreen screen({3, 1}, false, ModuleColour::None);
    EXPECT_EQ(screen.Draw(u"abcdef"), "+---+\n|abc|\n+---+\n");
    EXPECT_EQ(screen.Draw(u"a"), "+---+\n|a  |\n+---+\n");
}

} // namespace
