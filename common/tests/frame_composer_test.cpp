// SPDX-License-Identifier: MIT
#include <pixtera/frame_composer.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace pixtera;

DisplayItem StaticItem(std::string text, LONG width, LONG alignment)
{
    DisplayItem item;
    item.source = kSourceStaticText;
    item.text = std::move(text);
    item.width = width;
    item.alignment = alignment;
    return item;
}

struct AlignmentCase {
    std::string text;
    LONG width;
    LONG alignment;
    std::string field;
};

TEST(ComposeField, StaticAlignment)
{
    const AlignmentCase cases[] = {
        {"Hello", 8, kAlignLeft, "Hello   "},
        {"Hello", 8, kAlignRight, "   Hello"},
        {"Hello", 8, kAlignCenter, "  Hello "}, // even width: the extra space on the left
        {"Hello", 9, kAlignCenter, "  Hello  "},
        {"Hell", 9, kAlignCenter, "  Hell   "}, // odd width: the extra space on the right
        {"ABCDEFG", 4, kAlignLeft, "ABCD"},
        {"ABCDEFG", 4, kAlignRight, "DEFG"},
        {"ABCDEFG", 4, kAlignCenter, "BCDE"},
        {"ABCD", 4, kAlignCenter, "ABCD"},
        {"Hello", 8, 7, "        "}, // unknown alignment: all spaces
        {"", 3, kAlignLeft, "   "},
        {"Hello", 0, kAlignLeft, ""},
        {"Hello", -4, kAlignLeft, ""}, // a negative width counts as 0
    };
    for (const auto& c : cases) {
        DisplayItem item = StaticItem(c.text, c.width, c.alignment);
        EXPECT_EQ(ComposeField(item, c.text, 0), c.field) << c.text << " in " << c.width << " align " << c.alignment;
    }
}

DisplayItem Scroller(LONG mode, LONG delay, DWORD start)
{
    DisplayItem item = StaticItem("ABC", 8, kAlignLeft);
    item.mode = mode;
    item.scrollDelay = delay;
    item.scrollStart = start;
    return item;
}

TEST(ComposeField, ScrollingRepeatsTheTextAndMovesOneCellPerDelay)
{
    auto right = Scroller(kModeRightToLeft, 100, 5000);
    auto left = Scroller(kModeLeftToRight, 100, 5000);
    EXPECT_EQ(ComposeField(right, "ABC", 5000), "ABCABCAB");
    EXPECT_EQ(ComposeField(left, "ABC", 5000), "ABCABCAB");
    EXPECT_EQ(ComposeField(right, "ABC", 5099), "ABCABCAB");
    EXPECT_EQ(ComposeField(right, "ABC", 5100), "BCABCABC");
    EXPECT_EQ(ComposeField(left, "ABC", 5100), "CABCABCA");
    EXPECT_EQ(ComposeField(right, "ABC", 5200), "CABCABCA");
    EXPECT_EQ(ComposeField(right, "ABC", 5300), "ABCABCAB") << "a full cycle";
    auto stopped = Scroller(kModeRightToLeft, 0, 5000);
    EXPECT_EQ(ComposeField(stopped, "ABC", 987654), "ABCABCAB") << "delay 0 never moves";
}

TEST(ComposeField, ScrollingCrossesTheTickCountWrap)
{
    auto right = Scroller(kModeRightToLeft, 100, 0xFFFFFFCEu); // 50 ms before the wrap
    EXPECT_EQ(ComposeField(right, "ABC", 0x00000032u), "BCABCABC") << "100 ms later, across zero";
    auto left = Scroller(kModeLeftToRight, 100, 0xFFFFFFCEu);
    EXPECT_EQ(ComposeField(left, "ABC", 0x00000096u), "BCABCABC") << "two steps right";
}

TEST(ComposeField, ScrollingANegativeDelayIsAHugeUnsignedDelay)
{
    auto item = Scroller(kModeRightToLeft, -1, 0);
    EXPECT_EQ(ComposeField(item, "ABC", 123456), "ABCABCAB");
}

DisplayItem Bar(LONG width, LONG maximum, bool automatic)
{
    DisplayItem item = StaticItem("", width, kAlignLeft);
    item.mode = kModeHorizontalBar;
    item.barMaximum = maximum;
    item.automaticMaximum = automatic;
    return item;
}

std::string Cells(std::size_t filled, std::size_t width)
{
    return std::string(filled, kBarCharacter) + std::string(width - filled, ' ');
}

TEST(ComposeField, BarsWithAFixedMaximum)
{
    auto bar = Bar(10, 100, false);
    EXPECT_EQ(ComposeField(bar, "55", 0), Cells(5, 10));
    EXPECT_EQ(ComposeField(bar, "100", 0), Cells(10, 10));
    EXPECT_EQ(ComposeField(bar, "250", 0), Cells(10, 10));
    EXPECT_EQ(ComposeField(bar, "-3", 0), Cells(0, 10));
    EXPECT_EQ(ComposeField(bar, "9.99", 0), Cells(0, 10)) << "0.999 cells truncate to none";
    EXPECT_EQ(ComposeField(bar, "  42.7 fps", 0), Cells(4, 10)) << "the leading number counts";
    EXPECT_EQ(ComposeField(bar, "fps 42", 0), Cells(0, 10)) << "text without a leading number is 0";
    EXPECT_EQ(bar.barMaximum, 100);
}

TEST(ComposeField, BarsWithAnAutomaticMaximumFollowTheValues)
{
    auto bar = Bar(10, 100, true);
    EXPECT_EQ(ComposeField(bar, "150", 0), Cells(10, 10));
    EXPECT_EQ(bar.barMaximum, 150);
    EXPECT_EQ(ComposeField(bar, "75", 0), Cells(5, 10));
    EXPECT_EQ(ComposeField(bar, "1e300", 0), Cells(10, 10));
    EXPECT_EQ(bar.barMaximum, std::numeric_limits<LONG>::max()) << "bounded, not overflowed";
}

TEST(ComposeField, AWindowOfAHugeFieldIsThoseCellsOfTheWholeField)
{
    auto right = StaticItem("Hello", 12, kAlignRight);
    EXPECT_EQ(ComposeFieldWindow(right, "Hello", 0, 5, 10), ComposeField(right, "Hello", 0).substr(5));
    auto scroll = StaticItem("abc", 7, kAlignLeft);
    scroll.mode = kModeRightToLeft;
    scroll.scrollDelay = 100;
    EXPECT_EQ(ComposeFieldWindow(scroll, "abc", 250, 2, 3), ComposeField(scroll, "abc", 250).substr(2, 3));

    constexpr LONG kHuge = 2'000'000'000; // composing all of it would take gigabytes
    auto far = StaticItem("Hello", kHuge, kAlignRight);
    EXPECT_EQ(ComposeFieldWindow(far, "Hello", 0, 0, 20), std::string(20, ' '));
    EXPECT_EQ(ComposeFieldWindow(far, "Hello", 0, kHuge - 3, 20), "llo");
    auto bar = Bar(kHuge, 100, false);
    EXPECT_EQ(ComposeFieldWindow(bar, "50", 0, 0, 20), Cells(20, 20));
    EXPECT_EQ(ComposeFieldWindow(bar, "50", 0, kHuge / 2 - 10, 20), Cells(10, 20));
}

class Composition : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(display.Initialize(20, 4, 5, 8), S_OK); }
    std::string Row(LONG row) const
    {
        return std::string(display.frame().substr(static_cast<std::size_t>(row) * 20, 20));
    }

    void Draw(DisplayItem item) { design.items.push_back(std::move(item)); }
    void Render(DWORD now = 0) { RenderFrame(design, values, now, display); }

    Design design;
    TableValueSource values;
    VirtualDisplay display;
};

TEST_F(Composition, ItemsAreClippedAtTheRightEdgeAndBelowTheLastRow)
{
    auto clipped = StaticItem("ABCDE", 5, kAlignLeft);
    clipped.column = 18;
    Draw(clipped);
    auto below = StaticItem("gone", 4, kAlignLeft);
    below.row = 4;
    Draw(below);
    Render();
    EXPECT_EQ(Row(0), std::string(18, ' ') + "AB");
    EXPECT_EQ(display.frame().find("gone"), std::string::npos);
}

TEST_F(Composition, ItemsLeftOfTheFirstColumnAreClipped)
{
    auto item = StaticItem("ABCDE", 5, kAlignLeft);
    item.column = -2;
    Draw(item);
    Render();
    EXPECT_EQ(Row(0), "CDE" + std::string(17, ' '));
}

TEST_F(Composition, HugeFieldsShowTheirVisibleCells)
{
    auto centered = StaticItem("Hi", 2'000'000'000, kAlignCenter);
    centered.column = -999'999'995;
    Draw(centered);
    auto bar = Bar(2'000'000'000, 100, true);
    bar.source = kSourceStaticText;
    bar.text = "300";
    bar.column = 25; // off the display, yet its automatic maximum follows the value
    Draw(bar);
    Render();
    EXPECT_EQ(Row(0), "    Hi" + std::string(14, ' '));
    EXPECT_EQ(design.items[1].barMaximum, 300);
}

TEST_F(Composition, LaterItemsWinWithTheirFillerSpaces)
{
    Draw(StaticItem("XXXXXXXXXX", 10, kAlignLeft));
    Draw(StaticItem("ab", 6, kAlignRight));
    Render();
    EXPECT_EQ(Row(0), "    abXXXX" + std::string(10, ' '));
}

TEST_F(Composition, MultiLineItemsLeaveEarlierCharactersWhereTheirLinesAreShort)
{
    auto background = StaticItem("1234567890", 10, kAlignLeft);
    Draw(background);
    background.row = 1;
    Draw(background);
    auto lines = StaticItem("ab\nc\nnot shown", 4, kAlignLeft);
    lines.height = 2;
    Draw(lines);
    Render();
    EXPECT_EQ(Row(0), "ab34567890" + std::string(10, ' '));
    EXPECT_EQ(Row(1), "c234567890" + std::string(10, ' '));
    EXPECT_EQ(Row(2), std::string(20, ' ')) << "the third line is beyond the item's height";
}

TEST_F(Composition, MultiLineItemsDropCharactersBeyondTheirWidth)
{
    auto lines = StaticItem("abcdef\r\nxy", 3, kAlignLeft);
    lines.height = 3;
    lines.column = 2;
    Draw(lines);
    Render();
    EXPECT_EQ(Row(0), "  abc" + std::string(15, ' '));
    EXPECT_EQ(Row(1), "  xy" + std::string(16, ' '));
}

TEST_F(Composition, HeightZeroDrawsNothing)
{
    auto item = StaticItem("Hello", 5, kAlignLeft);
    item.height = 0;
    Draw(item);
    Render();
    EXPECT_EQ(display.frame(), std::string(80, ' '));
}

TEST_F(Composition, DataItemsShowTheirValuesAndUnknownNamesShowError)
{
    values.Set(u"FPS", Variant::FromDouble(60.0));
    DisplayItem fps;
    fps.name = u"FPS";
    fps.width = 6;
    Draw(fps);
    DisplayItem unknown;
    unknown.name = u"Nope";
    unknown.width = 6;
    unknown.row = 1;
    Draw(unknown);
    Render();
    EXPECT_EQ(Row(0), "60" + std::string(18, ' '));
    EXPECT_EQ(Row(1), "Error" + std::string(15, ' '));
}

TEST_F(Composition, ControlCharactersInTextShowAsBlanksNeverAsUserCharacters)
{
    values.Set(u"Odd", Variant::FromUtf8("A\tB\nC\x01"));
    DisplayItem still;
    still.name = u"Odd";
    still.width = 6;
    Draw(still);
    DisplayItem scrolling = still;
    scrolling.row = 1;
    scrolling.mode = kModeLeftToRight;
    scrolling.scrollDelay = 100;
    Draw(scrolling);
    auto lines = StaticItem("x\ty\n\x02z", 4, kAlignLeft);
    lines.row = 2;
    lines.height = 2;
    Draw(lines);
    Draw(Bar(4, 100, false)); // the design's own user character stays
    design.items.back().row = 3;
    design.items.back().column = 10;
    design.items.back().source = kSourceStaticText;
    design.items.back().text = "100";
    Render(150);
    EXPECT_EQ(Row(0), "A B C " + std::string(14, ' '));
    EXPECT_EQ(Row(1).substr(0, 6), " A B C");
    EXPECT_EQ(Row(2), "x y" + std::string(17, ' '));
    EXPECT_EQ(Row(3), " z" + std::string(8, ' ') + Cells(4, 4) + std::string(6, ' '));
    EXPECT_EQ(std::count_if(display.frame().begin(), display.frame().end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != kBarCharacter; }),
              0);
}

TEST_F(Composition, TextAndValuesKeepTheirCodePointsOneACell)
{
    // Letters of two bytes in UTF-8 and one outside the basic plane: each is one cell, aligned,
    // scrolled and cut as a cell; the Windows-1252 view has a '?' for each.
    values.Set(u"Word", Variant::FromUtf8("Ёлка 𝄞"));
    DisplayItem value;
    value.name = u"Word";
    value.width = 8;
    value.alignment = kAlignRight;
    Draw(value);
    auto scrolling = StaticItem("Жук", 5, kAlignLeft);
    scrolling.row = 1;
    scrolling.mode = kModeRightToLeft;
    scrolling.scrollDelay = 100;
    Draw(scrolling);
    auto lines = StaticItem("αβγδ\nΩ", 2, kAlignLeft);
    lines.row = 2;
    lines.height = 2;
    Draw(lines);
    Render(100);
    const auto cells = display.cells();
    EXPECT_EQ(cells.substr(0, 20), U"  Ёлка 𝄞" + std::u32string(12, U' '));
    EXPECT_EQ(cells.substr(20, 5), U"укЖук") << "one step: one cell, not one byte";
    EXPECT_EQ(cells.substr(40, 3), U"αβ ");
    EXPECT_EQ(cells.substr(60, 2), U"Ω ");
    EXPECT_EQ(Row(0), "  ???? ?" + std::string(12, ' '));
}

TEST_F(Composition, EveryRenderingStartsFromAClearFrame)
{
    values.Set(u"Text", Variant::FromUtf8("longer text"));
    DisplayItem item;
    item.name = u"Text";
    item.width = 20;
    Draw(item);
    Render();
    values.Set(u"Text", Variant::FromUtf8("short"));
    Render();
    EXPECT_EQ(Row(0), "short" + std::string(15, ' '));
}

} // namespace

// A source whose values all change at any reading.
class LiveValues final : public ValueSource {
public:
    HRESULT Value(std::u16string_view, VARIANT* value) override
    {
        VariantInit(value);
        return S_OK;
    }
};

TEST(LookAhead, NamesTheEarliestScrollStepAndHowTheValuesChange)
{
    Design design;
    design.items.push_back(StaticItem("title", 8, kAlignLeft));
    TableValueSource stored;
    FrameOutlook outlook = LookAhead(design, stored, 5000);
    EXPECT_FALSE(outlook.nextScrollStep);
    EXPECT_FALSE(outlook.readsStoredValues || outlook.readsChangingValues) << "static text reads no values";

    design.items.push_back(Scroller(kModeRightToLeft, 300, 5000));
    design.items.push_back(Scroller(kModeLeftToRight, 100, 0xFFFFFFCEu));
    auto tall = Scroller(kModeRightToLeft, 7, 5000);
    tall.height = 2; // multi-line items do not scroll
    design.items.push_back(tall);
    auto deleted = Scroller(kModeRightToLeft, 3, 5000);
    deleted.deleted = true;
    design.items.push_back(deleted);
    outlook = LookAhead(design, stored, 5010);
    ASSERT_TRUE(outlook.nextScrollStep);
    EXPECT_EQ(*outlook.nextScrollStep, 5050u) << "the scroller started before the wrap steps at -50 + 100k";

    DisplayItem value = StaticItem("", 8, kAlignLeft);
    value.source = kSourceDataValue;
    value.name = u"V";
    design.items.push_back(value);
    EXPECT_TRUE(LookAhead(design, stored, 5010).readsStoredValues);
    LiveValues live;
    outlook = LookAhead(design, live, 5010);
    EXPECT_TRUE(outlook.readsChangingValues);
    EXPECT_FALSE(outlook.readsStoredValues);
}
