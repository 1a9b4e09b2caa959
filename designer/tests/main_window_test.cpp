// SPDX-License-Identifier: MIT
// The main window offscreen: title, panes and their stored sides, file commands with their
// questions, and editing with synthetic mouse and key events.

#include "command_ids.h"
#include "data_panel.h"
#include "main_window.h"
#include "preview_widget.h"
#include "qt_application.h"
#include "scripted_prompts.h"
#include "service_objects.h"
#include "test_environment.h"

#include <pixtera/platform/registry.h>

#include <QDockWidget>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using namespace pixtera::test;

constexpr const char* kStaticDesign = R"(<Design><DisplayItems><DisplayItem>
    <Position X="2" Y="1" Width="5" Height="1"/><Appearance Mode="Static" Allignment="Left"/>
    <Data Mode="Static" Text="Hello"/></DisplayItem></DisplayItems><Background FileName=""/></Design>)";
// Hello at (2, 1) and World at (2, 3).
constexpr const char* kTwoTexts = R"(<Design><DisplayItems><DisplayItem>
    <Position X="2" Y="1" Width="5" Height="1"/><Appearance Mode="Static" Allignment="Left"/>
    <Data Mode="Static" Text="Hello"/></DisplayItem><DisplayItem>
    <Position X="2" Y="3" Width="5" Height="1"/><Appearance Mode="Static" Allignment="Left"/>
    <Data Mode="Static" Text="World"/></DisplayItem></DisplayItems><Background FileName=""/></Design>)";

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { Application(); }

    std::unique_ptr<MainWindow> MakeWindow()
    {
        auto window = std::make_unique<MainWindow>(nullptr, std::make_unique<ScriptedPrompts>(script));
        window->resize(900, 600);
        return window;
    }

    std::filesystem::path DesignFile(const std::string& name, const std::string& xml = kStaticDesign)
    {
        const auto file = TestDirectory() / name;
        std::ofstream(file) << xml;
        return file;
    }

    // The pixel in the middle of a cell of the canvas.
    QPoint CellCentre(MainWindow& window, int column, int row)
    {
        const QRect display = window.painter().DisplayRect(window.canvas().size());
        const int pitch = window.painter().pixelSize() + 1;
        return display.topLeft() + QPoint((column * 6 + 3) * pitch, (row * 8 + 4) * pitch);
    }

    // The window shown and active, so that keys reach the widget with the focus.
    std::unique_ptr<MainWindow> ShownWindow()
    {
        auto window = MakeWindow();
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    // A key as the keyboard sends it: to the widget with the focus, shortcuts first.
    static void Key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
    }

    DesignerSettings settings;
    ScriptedPrompts::Script script;
};

TEST_F(MainWindowTest, TitleFollowsThePathAndTheModifiedFlag)
{
    auto window = MakeWindow();
    window->document().SetModified(true); // the document says so itself
    EXPECT_EQ(window->windowTitle(), "Pixtera designer *");
    const auto file = TestDirectory() / "saved.pxd";
    ASSERT_TRUE(window->SaveFile(file));
    window->Tick();
    EXPECT_EQ(window->windowTitle().toStdString(), "Pixtera designer  - " + file.string());
}

TEST_F(MainWindowTest, PanesDockAtTheirStoredSides)
{
    settings.WriteNumber("prop_dock", 2);
    settings.WriteNumber("data_dock", 6);
    settings.WriteNumber("queue_dock", 5);
    auto window = MakeWindow();
    EXPECT_EQ(window->dockWidgetArea(window->pane(kViewProperties)), Qt::RightDockWidgetArea);
    EXPECT_EQ(window->dockWidgetArea(window->pane(kViewDataPanel)), Qt::LeftDockWidgetArea) << "6: where it was";
    EXPECT_EQ(window->dockWidgetArea(window->pane(kViewQueue)), Qt::BottomDockWidgetArea) << "5: where it goes";

    settings.WriteNumber("prop_dock", 4);
    auto again = MakeWindow();
    EXPECT_EQ(again->dockWidgetArea(again->pane(kViewProperties)), Qt::LeftDockWidgetArea) << "4: where it goes";
}

TEST_F(MainWindowTest, HidingAPaneIsRememberedForTheNextStart)
{
    auto window = MakeWindow();
    EXPECT_FALSE(window->pane(kViewQueue)->isHidden());
    window->Command(kViewQueue);
    EXPECT_TRUE(window->pane(kViewQueue)->isHidden());
    EXPECT_EQ(settings.ReadNumber("32805_visible"), 0u);
    window->Tick();
    EXPECT_FALSE(window->action(kViewQueue)->isChecked());
    EXPECT_TRUE(MakeWindow()->pane(kViewQueue)->isHidden());
    window->Command(kViewQueue);
    EXPECT_EQ(settings.ReadNumber("32805_visible"), 1u);
}

TEST_F(MainWindowTest, SchemeAndPixelSizeAreStoredAndRestored)
{
    {
        auto window = MakeWindow();
        window->Command(kColourWhite);
        window->Command(kPixelSize0 + 3);
        EXPECT_EQ(window->painter().pixelSize(), 3);
    }
    EXPECT_EQ(settings.ReadNumber("ColorScheme"), static_cast<DWORD>(kColourWhite));
    auto window = MakeWindow();
    window->Tick();
    EXPECT_TRUE(window->action(kColourWhite)->isChecked());
    EXPECT_TRUE(window->action(kPixelSize0 + 3)->isChecked());
    EXPECT_EQ(window->painter().pixelSize(), 3);
}

TEST_F(MainWindowTest, NewAndOpenAskFirstAndCancelKeepsTheWork)
{
    auto window = MakeWindow();
    ASSERT_TRUE(window->OpenFile(DesignFile("kept.pxd")));
    window->document().SetModified(true);
    script.saveAnswers = {SaveAnswer::Cancel};
    window->Command(kNew);
    EXPECT_EQ(script.saveQuestions, 1);
    EXPECT_EQ(window->document().design().items.size(), 1u) << "Cancel keeps the design";
    EXPECT_TRUE(window->document().modified());
    script.saveAnswers = {SaveAnswer::No};
    window->Command(kNew);
    EXPECT_EQ(script.saveQuestions, 2);
    EXPECT_TRUE(window->document().design().items.empty());
    EXPECT_FALSE(window->document().modified());
    script.saveQuestions = 0;

    window->document().SetModified(true);
    script.saveAnswers = {SaveAnswer::Cancel};
    script.files = {DesignFile("a.pxd")};
    window->Command(kOpen);
    EXPECT_EQ(script.saveQuestions, 1);
    EXPECT_TRUE(window->document().design().items.empty()) << "Cancel abandons the Open";
    EXPECT_TRUE(window->document().modified());

    script.saveAnswers = {SaveAnswer::No};
    window->Command(kOpen);
    EXPECT_EQ(window->document().design().items.size(), 1u);
    EXPECT_FALSE(window->document().modified()) << "No discards the changes";
}

TEST_F(MainWindowTest, YesSavesBeforeOpeningAndACancelledSaveKeepsTheDesign)
{
    auto window = MakeWindow();
    window->document().design().items.push_back({});
    window->document().SetModified(true);
    script.saveAnswers = {SaveAnswer::Yes};
    script.files = {std::nullopt};
    window->Command(kOpen);
    EXPECT_EQ(window->document().design().items.size(), 1u);
    EXPECT_TRUE(window->document().modified()) << "the save dialog was cancelled: nothing is lost";

    const auto saved = TestDirectory() / "saved-first.pxd";
    script.saveAnswers = {SaveAnswer::Yes};
    script.files = {saved, DesignFile("next.pxd")};
    window->Command(kOpen);
    EXPECT_TRUE(std::filesystem::exists(saved));
    EXPECT_EQ(window->document().path(), TestDirectory() / "next.pxd");
}

TEST_F(MainWindowTest, FailuresAreReportedWithTheirTexts)
{
    auto window = MakeWindow();
    const auto faulty = DesignFile("faulty.pxd", R"(<Design><DisplayItems><DisplayItem><Position X="1"/>)"
                                                 R"(</DisplayItem></DisplayItems></Design>)");
    EXPECT_FALSE(window->OpenFile(faulty));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "Error|Error loading design. " + faulty.string() + ": item 1: Position has no Y");

    window->document().SetModified(true);
    EXPECT_FALSE(window->SaveFile(TestDirectory() / "missing" / "x.pxd"));
    ASSERT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(script.messages[1], "Error|Error saving the design: cannot create a temporary file for " +
                                      (TestDirectory() / "missing" / "x.pxd").string() + ": No such file or directory");
    EXPECT_TRUE(window->document().modified());
}

TEST_F(MainWindowTest, ClickSelectsDeleteKeyDeletesDoubleClickAddsText)
{
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(window->OpenFile(DesignFile("edit.pxd")));
    window->Tick();
    PreviewWidget& canvas = window->canvas();

    QTest::mouseMove(&canvas, CellCentre(*window, 3, 1));
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, CellCentre(*window, 3, 1));
    EXPECT_EQ(window->editor().selection(), 0u);
    window->Tick();
    EXPECT_EQ(window->painter().highlight(), (CellBox{2, 1, 5, 1}));
    canvas.setFocus();
    QTest::keyClick(&canvas, Qt::Key_Delete);
    EXPECT_TRUE(window->document().design().items[0].deleted);
    EXPECT_FALSE(window->editor().selection());
    EXPECT_TRUE(window->document().modified());
    window->Tick();
    EXPECT_EQ(window->frame().find("Hello"), std::string_view::npos) << "a deleted item is not drawn";

    script.texts = {std::string("New")};
    QTest::mouseMove(&canvas, CellCentre(*window, 10, 3));
    QTest::mouseDClick(&canvas, Qt::LeftButton, {}, CellCentre(*window, 10, 3));
    ASSERT_EQ(window->document().design().items.size(), 2u);
    const DisplayItem& added = window->document().design().items[1];
    EXPECT_EQ(added.text, "New");
    EXPECT_EQ(added.column, 10);
    EXPECT_EQ(added.row, 3);
    window->Tick();
    EXPECT_EQ(window->frame().substr(70, 3), "New");
}

TEST_F(MainWindowTest, DraggingMovesTheItemAndEveryPopupCommandMarksTheDesign)
{
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(window->OpenFile(DesignFile("drag.pxd")));
    PreviewWidget& canvas = window->canvas();
    QTest::mouseMove(&canvas, CellCentre(*window, 2, 1));
    QTest::mousePress(&canvas, Qt::LeftButton, {}, CellCentre(*window, 2, 1));
    QTest::mouseMove(&canvas, CellCentre(*window, 6, 2));
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, CellCentre(*window, 6, 2));
    const DisplayItem& item = window->document().design().items[0];
    EXPECT_EQ(item.column, 6);
    EXPECT_EQ(item.row, 2);
    EXPECT_EQ(window->editor().mode(), PointerMode::None);

    script.files = {TestDirectory() / "background.png"};
    for (const int command :
         {designer::kModeStatic + 2, int{designer::kAlignCenter}, kSpeedVerySlow + 5, int{kBackgroundLoad}}) {
        ASSERT_TRUE(window->SaveFile(TestDirectory() / "drag.pxd"));
        window->Command(command);
        window->Tick();
        EXPECT_TRUE(window->windowTitle().endsWith('*')) << command;
    }
    EXPECT_EQ(item.mode, pixtera::kModeRightToLeft);
    EXPECT_EQ(item.alignment, pixtera::kAlignCenter);
    EXPECT_EQ(item.scrollDelay, 30);
}

TEST_F(MainWindowTest, VirtualSizesChangeTheCanvas)
{
    auto window = MakeWindow();
    window->Command(kVirtual2x16 + 4); // 2x40
    window->Tick();
    EXPECT_EQ(window->painter().geometry(), DisplayGeometry::Virtual(40, 2));
    EXPECT_EQ(window->frame().size(), 80u);
    EXPECT_TRUE(window->action(kVirtual2x16 + 4)->isChecked());
    EXPECT_FALSE(window->action(kVirtual2x16 + 3)->isChecked());
    EXPECT_EQ(window->previewTarget(), 0);
}

TEST_F(MainWindowTest, TheRightClickedItemIsTheOneThePopupActsOn)
{
    auto window = ShownWindow();
    ASSERT_TRUE(window->OpenFile(DesignFile("two.pxd", kTwoTexts)));
    PreviewWidget& canvas = window->canvas();
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, CellCentre(*window, 3, 1));
    ASSERT_EQ(window->editor().selection(), 0u) << "Hello selected";

    QTest::mousePress(&canvas, Qt::RightButton, {}, CellCentre(*window, 3, 3));
    EXPECT_EQ(window->editor().selection(), 1u) << "World, under the pointer, is selected first";
    EXPECT_TRUE(window->popup()->isVisible());
    EXPECT_TRUE(window->action(kDelete)->isEnabled());
    window->action(kDelete)->trigger();
    window->popup()->hide();
    EXPECT_FALSE(window->document().design().items[0].deleted) << "not the item selected before";
    EXPECT_TRUE(window->document().design().items[1].deleted);

    // Off the items: nothing is selected, and what would act on an item is greyed.
    QTest::mousePress(&canvas, Qt::RightButton, {}, CellCentre(*window, 15, 0));
    EXPECT_FALSE(window->editor().selection());
    EXPECT_TRUE(window->popup()->isVisible());
    EXPECT_FALSE(window->action(kDelete)->isEnabled());
    for (QAction* entry : window->popup()->actions()) {
        if (entry->menu() && entry->text() != "Background") {
            EXPECT_FALSE(entry->isEnabled()) << entry->text().toStdString();
        }
    }
    EXPECT_TRUE(window->action(kBackgroundLoad)->isEnabled()) << "the background is the design's";
    window->popup()->hide();
    QTest::mousePress(&canvas, Qt::RightButton, {}, CellCentre(*window, 6, 1));
    EXPECT_EQ(window->editor().selection(), 0u);
    window->action(designer::kAlignRight)->trigger();
    window->popup()->hide();
    EXPECT_EQ(window->document().design().items[0].alignment, pixtera::kAlignRight);
}

TEST_F(MainWindowTest, TheKeyboardReachesEveryPaneAndTheItemCommands)
{
    auto window = ShownWindow();
    ASSERT_TRUE(window->OpenFile(DesignFile("keys.pxd", kTwoTexts)));
    PreviewWidget& canvas = window->canvas();
    canvas.setFocus();
    ASSERT_TRUE(canvas.hasFocus());

    // The preview shows that it has the keyboard: a frame around the display.
    auto framed = [&] {
        const QImage shown = canvas.grab().toImage();
        const QRect display = window->painter().DisplayRect(canvas.size());
        int marked = 0;
        for (int y = display.top(); y < display.bottom(); ++y)
            marked += shown.pixelColor(display.left() - 4, y) == canvas.palette().color(QPalette::Highlight);
        return marked > 0;
    };
    EXPECT_TRUE(framed());

    // Tab and Shift+Tab stay on the preview and choose the item.
    Key(Qt::Key_Tab);
    EXPECT_TRUE(canvas.hasFocus());
    EXPECT_EQ(window->editor().selection(), 0u);
    Key(Qt::Key_Tab);
    EXPECT_EQ(window->editor().selection(), 1u);
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(window->editor().selection(), 0u);
    EXPECT_TRUE(canvas.hasFocus());

    // Ctrl+Tab and F6 go round the panes shown (the queue is disabled without a service).
    QWidget* data = window->pane(kViewDataPanel)->widget();
    QWidget* properties = window->pane(kViewProperties)->widget();
    Key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), data);
    EXPECT_FALSE(framed());
    Key(Qt::Key_F6);
    EXPECT_EQ(QApplication::focusWidget(), properties);
    Key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), &canvas);
    Key(Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), properties);
    Key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), data);
    EXPECT_EQ(window->editor().selection(), 0u) << "moving between panes selects nothing";
    window->pane(kViewProperties)->hide();
    Key(Qt::Key_F6);
    EXPECT_EQ(QApplication::focusWidget(), &canvas) << "a hidden pane is passed over";

    // The popup, for the selected item, by the Menu key and Shift+F10.
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers{}},
                                         std::pair{Qt::Key_F10, Qt::KeyboardModifiers{Qt::ShiftModifier}}}) {
        canvas.setFocus();
        Key(key, modifiers);
        ASSERT_TRUE(window->popup()->isVisible()) << key;
        EXPECT_TRUE(window->action(kDelete)->isEnabled());
        EXPECT_EQ(window->popup()->pos(), canvas.mapToGlobal(window->painter().CellCorner({2, 2}, canvas.size())))
            << "below the selected item";
        window->popup()->hide();
    }

    // Enter (or F2) edits the selected text; Insert adds one at the top left, selected.
    canvas.setFocus();
    script.texts = {std::string("Howdy"), std::string("Bye"), std::string("New")};
    Key(Qt::Key_Return);
    EXPECT_EQ(window->document().design().items[0].text, "Howdy");
    Key(Qt::Key_F2);
    EXPECT_EQ(window->document().design().items[0].text, "Bye");
    Key(Qt::Key_Insert);
    ASSERT_EQ(window->document().design().items.size(), 3u);
    EXPECT_EQ(window->document().design().items[2].text, "New");
    EXPECT_EQ(window->document().design().items[2].column, 0);
    EXPECT_EQ(window->document().design().items[2].row, 0);
    EXPECT_EQ(window->editor().selection(), 2u);
    Key(Qt::Key_Right);
    EXPECT_EQ(window->document().design().items[2].column, 1) << "the arrows move it";
}

} // namespace
