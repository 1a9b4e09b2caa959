// SPDX-License-Identifier: MIT
// Designs saved and read back by the designer, the title, and what survives a failure.

#include "design_document.h"
#include "gui_application.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using pixtera::test::FileText;
using pixtera::test::TestDirectory;

DisplayItem TextItem(std::string text, LONG mode)
{
    DisplayItem item;
    item.source = kSourceStaticText;
    item.text = std::move(text);
    item.mode = mode;
    item.width = 8;
    item.scrollDelay = 120;
    return item;
}

TEST(DesignDocument, RoundTripWritesOnlyWhatIsOnAndReadsItBack)
{
    DesignDocument document;
    DisplayItem plain;
    plain.name = u"CPU.Total";
    plain.width = 4;
    plain.alignment = kAlignRight;
    DisplayItem bar;
    bar.name = u"Memory.UsedPercent";
    bar.mode = kModeHorizontalBar;
    bar.automaticMaximum = true;
    bar.barMaximum = 57;
    bar.width = 20;
    bar.row = 3;
    DisplayItem converted = plain;
    converted.convert = true;
    converted.fromUnit = kBytes;
    converted.toUnit = kMegaBytes;
    converted.format = true;
    converted.digits = 2;
    DisplayItem gone = TextItem("deleted", kModeStatic);
    gone.deleted = true;
    document.design().items = {plain, bar, TextItem("scrolling", kModeLeftToRight), converted, gone};
    document.SetModified(true);
    const auto file = TestDirectory() / "round.pxd";
    ASSERT_TRUE(document.SaveAs(file));
    EXPECT_FALSE(document.modified());

    const std::string text = FileText(file);
    EXPECT_EQ(text.find("deleted"), std::string::npos) << "deleted items are not written";
    EXPECT_NE(text.find(R"(<Appearance Mode="HorizontalBar" HBarMax="0"/>)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"(<Appearance Mode="LeftToRight" ScrollDelay="120"/>)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"(<Convert From="Bytes" To="MegaBytes"/>)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"(<Formatting Digits="2"/>)"), std::string::npos) << text;

    DesignDocument read;
    ASSERT_EQ(read.Open(file, 0), DesignDocument::OpenResult::Opened);
    const auto& items = read.design().items;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_FALSE(items[0].convert);
    EXPECT_FALSE(items[0].format);
    EXPECT_EQ(items[0].alignment, kAlignRight);
    EXPECT_TRUE(items[1].automaticMaximum);
    EXPECT_EQ(items[1].barMaximum, 100) << "an automatic maximum starts from the default";
    EXPECT_EQ(items[2].alignment, kAlignLeft) << "no Allignment for a scroller";
    EXPECT_EQ(items[2].scrollDelay, 120);
    EXPECT_TRUE(items[3].convert);
    EXPECT_EQ(items[3].toUnit, kMegaBytes);
    EXPECT_TRUE(items[3].format);
    EXPECT_EQ(items[3].digits, 2);
    EXPECT_EQ(read.path(), file);
}

TEST(DesignDocument, SaysItselfWhenItsDesignOrTitleChangedAndItsHistoryFollowsIt)
{
    pixtera::test::GuiApplication();
    DesignDocument document;
    int changes = 0;
    int titles = 0;
    int replacements = 0;
    QObject::connect(&document, &DesignDocument::changed, [&] { ++changes; });
    QObject::connect(&document, &DesignDocument::titleChanged, [&] { ++titles; });
    QObject::connect(&document, &DesignDocument::replaced, [&] { ++replacements; });

    document.history().Edit("Add", [&] { document.design().items.push_back(TextItem("a", kModeStatic)); });
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(titles, 1);
    EXPECT_TRUE(document.modified());
    document.history().Edit("Nothing", [] {});
    EXPECT_EQ(changes, 1) << "no step, no news";
    document.SetModified(true);
    EXPECT_EQ(titles, 1) << "only a flag that changes is news";

    const auto file = TestDirectory() / "history.pxd";
    ASSERT_TRUE(document.SaveAs(file));
    EXPECT_FALSE(document.modified());
    EXPECT_TRUE(document.history().stack().isClean()) << "saving is the history's saved state";
    document.history().stack().undo();
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(document.modified()) << "away from what was saved";
    EXPECT_TRUE(document.design().items.empty());

    document.New();
    EXPECT_EQ(replacements, 1);
    EXPECT_EQ(document.history().stack().count(), 0) << "a new design, a new history";
    EXPECT_FALSE(document.modified());
    ASSERT_EQ(document.Open(file, 0), DesignDocument::OpenResult::Opened);
    EXPECT_EQ(replacements, 2);
    EXPECT_EQ(document.design().items.size(), 1u);
    EXPECT_FALSE(document.history().stack().canUndo());
}

TEST(DesignDocument, ConvertAndFormattingElementsOnlyWhenOn)
{
    DesignDocument document;
    DisplayItem item;
    item.name = u"X";
    document.design().items = {item};
    const auto file = TestDirectory() / "plain.pxd";
    ASSERT_TRUE(document.SaveAs(file));
    EXPECT_EQ(FileText(file).find("<Convert"), std::string::npos);
    EXPECT_EQ(FileText(file).find("<Formatting"), std::string::npos);
    EXPECT_NE(FileText(file).find(R"(<Appearance Mode="Static" Allignment="Left"/>)"), std::string::npos)
        << FileText(file);
}

TEST(DesignDocument, TitleShowsThePathAndTheModifiedMark)
{
    DesignDocument document;
    EXPECT_EQ(document.Title(), "Pixtera designer ");
    document.SetModified(true);
    EXPECT_EQ(document.Title(), "Pixtera designer *");
    const auto file = TestDirectory() / "titled.pxd";
    ASSERT_TRUE(document.SaveAs(file));
    EXPECT_EQ(document.Title(), "Pixtera designer  - " + file.string());
}

TEST(DesignDocument, AFaultyItemKeepsTheItemsBeforeItAndThePathAndFlag)
{
    const auto file = TestDirectory() / "faulty.pxd";
    std::ofstream(file) << R"(<Design><DisplayItems>
        <DisplayItem><Position X="1" Y="0" Width="3" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="ok"/></DisplayItem>
        <DisplayItem><Position X="1" Y="1" Width="3"/><Appearance Mode="Static"/><Data Mode="Static" Text="no"/></DisplayItem>
        <DisplayItem><Position X="1" Y="2" Width="3" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="after"/></DisplayItem>
        </DisplayItems></Design>)";
    DesignDocument document;
    const auto earlier = TestDirectory() / "earlier.pxd";
    ASSERT_TRUE(document.SaveAs(earlier));
    document.SetModified(true);
    EXPECT_EQ(document.Open(file, 0), DesignDocument::OpenResult::ItemError);
    ASSERT_EQ(document.design().items.size(), 1u);
    EXPECT_EQ(document.design().items[0].text, "ok");
    EXPECT_EQ(document.path(), earlier);
    EXPECT_TRUE(document.modified());

    std::ofstream(TestDirectory() / "broken.pxd") << "<Design><DisplayItems>";
    EXPECT_EQ(document.Open(TestDirectory() / "broken.pxd", 0), DesignDocument::OpenResult::NotXml);
    EXPECT_EQ(document.design().items.size(), 1u) << "a file that is no XML changes nothing";
}

TEST(DesignDocument, AFailedSaveKeepsTheFlagAndThePathItHad)
{
    DesignDocument document;
    document.design().items = {TextItem("x", kModeStatic)};
    const auto saved = TestDirectory() / "kept-name.pxd";
    ASSERT_TRUE(document.SaveAs(saved));
    document.SetModified(true);
    const auto unwritable = TestDirectory() / "no-such-directory" / "design.pxd";
    std::string error;
    EXPECT_FALSE(document.SaveAs(unwritable, &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << "the system's reason: " << error;
    EXPECT_TRUE(document.modified());
    EXPECT_EQ(document.path(), saved) << "the file never written is not the design's";
    EXPECT_EQ(document.Title(), "Pixtera designer  - " + saved.string() + "*");
    EXPECT_FALSE(std::filesystem::exists(unwritable));
}

TEST(DesignDocument, NewForgetsEverything)
{
    DesignDocument document;
    document.design().items = {TextItem("x", kModeStatic)};
    document.design().background = u"/bg.png";
    ASSERT_TRUE(document.SaveAs(TestDirectory() / "old.pxd"));
    document.SetModified(true);
    document.New();
    EXPECT_TRUE(document.design().items.empty());
    EXPECT_TRUE(document.design().background.empty());
    EXPECT_TRUE(document.path().empty());
    EXPECT_FALSE(document.modified());
}

} // namespace
