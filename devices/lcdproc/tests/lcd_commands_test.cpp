// SPDX-License-Identifier: MIT
#include "lcd_commands.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcdproc;

TEST(LcdCommands, ConnectReplyGivesTheGeometry)
{
    Geometry geometry;
    ASSERT_TRUE(ParseConnectReply("connect LCDproc 0.5.9 protocol 0.3 lcd wid 16 hgt 2 cellwid 6 cellhgt 9", geometry));
    EXPECT_EQ(geometry.columns, 16);
    EXPECT_EQ(geometry.rows, 2);
    EXPECT_EQ(geometry.cellWidth, 6);
    EXPECT_EQ(geometry.cellHeight, 9);
    Geometry untouched;
    EXPECT_FALSE(ParseConnectReply("huh? what", untouched));
    EXPECT_TRUE(ParseConnectReply("connect LCDproc lcd wid x hgt -3", untouched));
    EXPECT_EQ(untouched.columns, 20) << "unreadable numbers keep the defaults";
    EXPECT_EQ(untouched.rows, 4);
}

TEST(LcdCommands, TextsAreQuotedAndUserCharactersGetStandIns)
{
    EXPECT_EQ(Quoted(R"(say "hi" \o/)"), R"("say \"hi\" \\o/")");
    EXPECT_EQ(StandIn(0), '-');
    EXPECT_EQ(StandIn(11), '=');
    EXPECT_EQ(StandIn(15), '#');
}

TEST(LcdCommands, OnlyChangedRowsAreSent)
{
    FrameCommands commands({4, 2, 5, 8});
    std::vector<int> rows;
    EXPECT_EQ(commands.Update("abcdefgh", rows),
              (std::vector<std::string>{R"(widget_set pixtera r1 1 1 "abcd")", R"(widget_set pixtera r2 1 2 "efgh")"}));
    EXPECT_EQ(rows, (std::vector<int>{0, 1}));
    EXPECT_TRUE(commands.Update("abcdefgh", rows).empty());
    EXPECT_EQ(commands.Update("abcdefgX", rows), std::vector<std::string>{R"(widget_set pixtera r2 1 2 "efgX")"});
    commands.Forget(0);
    EXPECT_EQ(commands.Update("abcdefgX", rows).size(), 1u) << "a refused row goes again";
    commands.ForgetAll();
    EXPECT_EQ(commands.Update("abcdefgX", rows).size(), 2u);
    EXPECT_EQ(commands.Update("ab", rows),
              (std::vector<std::string>{R"(widget_set pixtera r1 1 1 "ab  ")", R"(widget_set pixtera r2 1 2 "    ")"}))
        << "short frames are padded";
}

TEST(LcdCommands, BarRunsBecomeHbarsOfTheSameLength)
{
    FrameCommands commands({8, 1, 5, 8});
    std::vector<int> rows;
    EXPECT_EQ(commands.Update("\x08\x08\x08x\x08\x08\x01 ", rows),
              (std::vector<std::string>{R"(widget_set pixtera r1 1 1 "   x  - ")", "widget_add pixtera b1_0 hbar",
                                        "widget_set pixtera b1_0 1 1 15", "widget_add pixtera b1_1 hbar",
                                        "widget_set pixtera b1_1 5 1 10"}));
    EXPECT_EQ(commands.Update("\x08       ", rows),
              (std::vector<std::string>{R"(widget_set pixtera r1 1 1 "        ")", "widget_set pixtera b1_0 1 1 5",
                                        "widget_set pixtera b1_1 1 1 0"}))
        << "widgets are reused, and emptied when not needed";
}

TEST(LcdCommands, SetupMakesTheScreenAndOneStringPerRow)
{
    FrameCommands commands({20, 2, 5, 8});
    EXPECT_EQ(commands.Setup("info"),
              (std::vector<std::string>{"client_set -name Pixtera", "screen_add pixtera",
                                        "screen_set pixtera -name Pixtera -priority info -heartbeat off",
                                        "widget_add pixtera r1 string", "widget_add pixtera r2 string"}));
}

} // namespace
