// SPDX-License-Identifier: MIT
// The pointer modes: selecting, moving, resizing, placing, text and deleting.

#include "item_editor.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::designer;

class ItemEditorTest : public ::testing::Test {
protected:
    DisplayItem& Add(LONG column, LONG row, LONG width, std::string text = "item")
    {
        DisplayItem item;
        item.source = kSourceStaticText;
        item.text = std::move(text);
        item.column = column;
        item.row = row;
        item.width = width;
        document.design().items.push_back(item);
        return document.design().items.back();
    }
    DisplayItem& At(std::size_t i) { return document.design().items.at(i); }

    DesignDocument document;
    ItemEditor editor{document};
};

TEST_F(ItemEditorTest, PressSelectsTheLastItemUnderThePointerAndStartsMoving)
{
    Add(0, 0, 10, "under");
    Add(5, 0, 10, "over");
    Add(0, 1, 4, "elsewhere");
    EXPECT_TRUE(editor.Press({6, 0}));
    EXPECT_EQ(editor.selection(), 1u) << "the later item wins";
    EXPECT_EQ(editor.mode(), PointerMode::Moving);
    EXPECT_EQ(editor.Highlight(), (CellBox{5, 0, 10, 1}));
    editor.Release(true);
    EXPECT_EQ(editor.mode(), PointerMode::None);
    EXPECT_FALSE(document.modified()) << "a click without moving changes nothing";

    At(1).deleted = true;
    EXPECT_TRUE(editor.Press({6, 0}));
    EXPECT_EQ(editor.selection(), 0u) << "deleted items are not hit";
    editor.Release(true);
    EXPECT_FALSE(editor.Press({15, 3}));
    EXPECT_FALSE(editor.selection()) << "a click on no item clears the selection";
}

TEST_F(ItemEditorTest, MovingKeepsTheGrabOffsetAndStopsAtTheLeftEdge)
{
    Add(4, 0, 6);
    ASSERT_TRUE(editor.Press({6, 0})); // grabbed two cells into the item
    editor.MoveTo({9, 2});
    EXPECT_EQ(At(0).column, 7);
    EXPECT_EQ(At(0).row, 2);
    EXPECT_TRUE(document.modified());
    editor.MoveTo({0, 1});
    EXPECT_EQ(At(0).column, 0) << "not past the left edge";
}

TEST_F(ItemEditorTest, ResizingLeftOfTheFirstColumnLeavesWidthOne)
{
    Add(5, 1, 4);
    ASSERT_TRUE(editor.Press({5, 1}));
    editor.Release(true);
    editor.StartResizing();
    editor.MoveTo({9, 1});
    EXPECT_EQ(At(0).width, 5);
    editor.MoveTo({2, 1});
    EXPECT_EQ(At(0).width, 1);
    editor.Release(false);
    EXPECT_EQ(editor.selection(), 0u) << "the resized item stays selected";
}

TEST_F(ItemEditorTest, ANewItemReleasedOutsideTheDisplayIsDiscarded)
{
    DisplayItem dropped;
    dropped.name = u"CPU.Total";
    dropped.width = 3;
    editor.StartPlacing(dropped);
    EXPECT_EQ(At(0).row, -1) << "nowhere until the pointer is over the display";
    editor.MoveTo({2, 3});
    EXPECT_EQ(editor.Highlight(), (CellBox{2, 3, 1, 1})) << "placing shows the single cell";
    editor.Release(false);
    EXPECT_TRUE(document.design().items.empty());

    editor.StartPlacing(dropped);
    editor.MoveTo({2, 3});
    editor.Release(true);
    ASSERT_EQ(document.design().items.size(), 1u);
    EXPECT_EQ(At(0).column, 2);
    EXPECT_EQ(editor.selection(), 0u);
}

TEST_F(ItemEditorTest, TextsAreAddedWithoutASelectionAndEditedWithOne)
{
    EXPECT_FALSE(editor.AddText({1, 1}, "", 0)) << "an empty text adds nothing";
    ASSERT_TRUE(editor.AddText({3, 2}, "Hello", 500));
    EXPECT_EQ(At(0).width, 5);
    EXPECT_EQ(At(0).height, 1);
    EXPECT_EQ(At(0).column, 3);
    EXPECT_EQ(At(0).source, kSourceStaticText);
    ASSERT_TRUE(editor.Press({3, 2}));
    editor.Release(true);
    EXPECT_EQ(editor.TextToEdit(), "Hello");
    document.SetModified(false);
    editor.ReplaceText("Hello, world");
    EXPECT_EQ(At(0).text, "Hello, world");
    EXPECT_EQ(At(0).width, 5) << "the width stays";
    EXPECT_TRUE(document.modified()) << "an edited text is a change to save";
}

TEST_F(ItemEditorTest, DeleteMarksTheSelectedItemAndClearsTheSelection)
{
    Add(0, 0, 5);
    EXPECT_FALSE(editor.DeleteSelected()) << "nothing without a selection";
    EXPECT_FALSE(document.modified());
    ASSERT_TRUE(editor.Press({0, 0}));
    editor.Release(true);
    EXPECT_TRUE(editor.DeleteSelected());
    EXPECT_TRUE(At(0).deleted);
    EXPECT_FALSE(editor.selection());
    EXPECT_FALSE(editor.Highlight());
    EXPECT_TRUE(document.modified());
    EXPECT_FALSE(editor.Press({0, 0})) << "a deleted item is not hit";
}

} // namespace
