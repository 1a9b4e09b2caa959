// SPDX-License-Identifier: MIT
// A big-number item's cells: its digits' height by the item's, aligned in its box, a window of a
// field wider than the display, and a value too long for any display.

#include <pixtera/big_number_field.h>
#include <pixtera/sdk/big_digits.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

DisplayItem BigNumber(LONG width, LONG height, LONG digitRows, LONG alignment = kAlignLeft)
{
    DisplayItem item;
    item.mode = kModeBigNumber;
    item.width = width;
    item.height = height;
    item.digitRows = digitRows;
    item.alignment = alignment;
    return item;
}

TEST(BigNumberField, DigitsAreAsHighAsAskedWhereTheItemHasRoom)
{
    const auto four = BigNumberCells(BigNumber(20, 4, 4), U"12:45");
    ASSERT_EQ(four.size(), 4u);
    EXPECT_EQ(four, [] {
        std::vector<std::u32string> rows = lcd::DrawBigText(U"12:45", 4, 20).rows;
        for (auto& row : rows)
            row.resize(20, U' ');
        return rows;
    }());
    EXPECT_EQ(BigNumberCells(BigNumber(20, 3, 4), U"12").size(), 2u) << "too low for four: two";
    EXPECT_EQ(BigNumberCells(BigNumber(20, 4, 2), U"12").size(), 2u);
    const auto low = BigNumberCells(BigNumber(6, 1, 4, kAlignRight), U"12:45");
    ASSERT_EQ(low.size(), 1u);
    EXPECT_EQ(low[0], U" 12:45") << "one row: the text itself";
}

TEST(BigNumberField, TheDigitsAreAlignedInTheBoxAndWhatDoesNotFitIsLeftOut)
{
    const std::u32string seven = lcd::DrawBigText(U"7", 2, 3).rows[0];
    ASSERT_EQ(seven.size(), 3u);
    EXPECT_EQ(BigNumberCells(BigNumber(7, 2, 2, kAlignRight), U"7")[0], U"    " + seven);
    EXPECT_EQ(BigNumberCells(BigNumber(7, 2, 2, kAlignCenter), U"7")[0], U"  " + seven + U"  ");
    EXPECT_EQ(BigNumberCells(BigNumber(7, 2, 2, kAlignLeft), U"7")[0], seven + U"    ");
    // Two figures need seven columns; a third is left out whole.
    EXPECT_EQ(BigNumberCells(BigNumber(7, 2, 2), U"777")[0], seven + U" " + seven);
    EXPECT_EQ(BigNumberCells(BigNumber(7, 2, 2), U"7 °C")[0], BigNumberCells(BigNumber(7, 2, 2), U"7 ")[0])
        << "a unit has no big form";
}

TEST(BigNumberField, AWindowIsTheSameCellsAsTheWholeField)
{
    const DisplayItem item = BigNumber(30, 4, 4, kAlignRight);
    const auto whole = BigNumberCells(item, U"-12.5");
    const auto window = BigNumberWindow(item, U"-12.5", 18, 8);
    ASSERT_EQ(window.size(), whole.size());
    for (std::size_t row = 0; row < whole.size(); ++row)
        EXPECT_EQ(window[row], whole[row].substr(18, 8)) << row;
    EXPECT_EQ(BigNumberWindow(item, U"1", 40, 5)[0], U"") << "past the field";
}

TEST(BigNumberField, AHugeItemAndAnEndlessValueStayBounded)
{
    const DisplayItem item = BigNumber(0x7FFFFFFF, 0x7FFFFFFF, 4, kAlignRight);
    const std::u32string endless(1 << 20, U'8');
    const auto window = BigNumberWindow(item, endless, 0x7FFFFFFF - 20, 20);
    ASSERT_EQ(window.size(), 4u);
    EXPECT_EQ(window[0].size(), 20u);
    const auto field = BigNumberCells(BigNumber(1000, 2, 2, kAlignLeft), endless);
    const auto drawn = lcd::DrawBigText(endless.substr(0, kMaxBigNumberCharacters), 2, 1000);
    EXPECT_EQ(field[0].substr(0, drawn.width()), drawn.rows[0]);
    EXPECT_EQ(field[0].find_first_not_of(U' ', drawn.width()), std::u32string::npos)
        << "no more than the first characters are drawn";
    EXPECT_TRUE(BigNumberCells(BigNumber(-5, 2, 2), U"1")[0].empty());
}

} // namespace
