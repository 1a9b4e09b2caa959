// SPDX-License-Identifier: MIT
#include "screen_diff.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcd;
using Runs = std::vector<pixtera::lcd::Run>;

TEST(ChangedRuns, UnknownContentsAreWrittenRowByRow)
{
    EXPECT_EQ(ChangedRuns("", "abcdefgh", 4, 1), (Runs{{0, 0, "abcd"}, {0, 1, "efgh"}}));
    EXPECT_TRUE(ChangedRuns("abcdefgh", "abcdefgh", 4, 4).empty()) << "nothing changed, nothing written";
}

TEST(ChangedRuns, GapsAreRewrittenOnlyWhenCheaperThanAJump)
{
    const std::string shown = "0123456789";
    // Changes at 1 and 4: a gap of two.
    const std::string wanted = "0x23x56789";
    EXPECT_EQ(ChangedRuns(shown, wanted, 10, 2), (Runs{{1, 0, "x23x"}})) << "two cells cost a jump";
    EXPECT_EQ(ChangedRuns(shown, wanted, 10, 1), (Runs{{1, 0, "x"}, {4, 0, "x"}}));
    EXPECT_EQ(ChangedRuns(shown, "x12345678x", 10, 4), (Runs{{0, 0, "x"}, {9, 0, "x"}}));
}

TEST(ChangedRuns, RunsNeverCrossARow)
{
    EXPECT_EQ(ChangedRuns("aaaabbbb", "aaaxybbb", 4, 8), (Runs{{3, 0, "x"}, {0, 1, "y"}}));
}

} // namespace
