// SPDX-License-Identifier: MIT
#include "argument_split.h"

#include <gtest/gtest.h>

namespace {

using pixtera::lcdproc::SplitArguments;
using Args = std::vector<std::string>;

TEST(ArgumentSplit, BlanksSeparateAndQuotesHoldThemTogether)
{
    EXPECT_EQ(SplitArguments("widget_set s w 1 2 \"hi there\""), (Args{"widget_set", "s", "w", "1", "2", "hi there"}));
    EXPECT_EQ(SplitArguments("a {b c} \t d"), (Args{"a", "b c", "d"}));
    EXPECT_EQ(SplitArguments("a \"\""), (Args{"a", ""})) << "an empty quote is an empty argument";
    EXPECT_EQ(SplitArguments("   "), Args{});
    EXPECT_EQ(SplitArguments("ab\"cd ef\""), Args{"abcd ef"}) << "a quote may open inside an argument";
    EXPECT_EQ(SplitArguments("\"ab\"cd"), (Args{"ab", "cd"})) << "and closing one ends it";
}

TEST(ArgumentSplit, BackslashesEscapeAndNameControls)
{
    EXPECT_EQ(SplitArguments(R"("a\"b" c\ d x\ny)"), (Args{"a\"b", "c d", "x\ny"}));
    EXPECT_EQ(SplitArguments(R"(a\)"), Args{"a\\"}) << "a backslash at the end stays";
}

TEST(ArgumentSplit, AnOpenQuoteIsRefusedAndTheLineEndsAtItsBreak)
{
    EXPECT_FALSE(SplitArguments("a \"open"));
    EXPECT_FALSE(SplitArguments("a {open"));
    EXPECT_EQ(SplitArguments("a b\r\nc"), (Args{"a", "b"}));
    EXPECT_EQ(SplitArguments(std::string_view("a\0b", 3)), Args{"a"});
}

TEST(ArgumentSplit, ArgumentsBeyondTheLimitAreDropped)
{
    std::string line;
    for (int i = 0; i < 100; ++i)
        line += "x ";
    const auto split = SplitArguments(line);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->size(), pixtera::lcdproc::kMaxArguments);
}

TEST(ArgumentSplit, ViewsOfOneStorageHoldTheNewLineAlone)
{
    std::string storage;
    std::vector<std::string_view> arguments;
    ASSERT_TRUE(pixtera::lcdproc::SplitArguments("widget_set s w 1 2 \"a long text of a widget\"", storage, arguments));
    EXPECT_EQ(arguments.size(), 6u);
    ASSERT_TRUE(pixtera::lcdproc::SplitArguments(R"(x\ y {z} "q\"r"s t)", storage, arguments));
    EXPECT_EQ(arguments, (std::vector<std::string_view>{"x y", "z", "q\"r", "s", "t"}))
        << "unquoted and unescaped where they stand, none overwriting the next";
    EXPECT_FALSE(pixtera::lcdproc::SplitArguments("a \"open", storage, arguments));
    ASSERT_TRUE(pixtera::lcdproc::SplitArguments("", storage, arguments));
    EXPECT_TRUE(arguments.empty());
}

TEST(ArgumentSplit, UnquotingInPlaceLeavesTheNextArgumentsWhole)
{
    std::string storage;
    std::vector<std::string_view> arguments;
    ASSERT_TRUE(SplitArguments(R"(ab"cd"ef a\ b"c d"\e {x"y} "p{q}" \\ "" z\)", storage, arguments));
    EXPECT_EQ(arguments, (std::vector<std::string_view>{"abcd", "ef", "a bc d", "e", "x\"y", "p{q}", "\\", "", "z\\"}));
    // The 40th argument is unescaped where it stands, the 41st read and dropped.
    std::string line;
    for (int i = 0; i < 39; ++i)
        line += "\"a\\tb\" ";
    ASSERT_TRUE(SplitArguments(line + R"(l\"a"s t" "dro\pped")", storage, arguments));
    ASSERT_EQ(arguments.size(), pixtera::lcdproc::kMaxArguments);
    EXPECT_EQ(arguments[0], "a\tb");
    EXPECT_EQ(arguments[38], "a\tb");
    EXPECT_EQ(arguments[39], "l\"as t");
}

} // namespace
