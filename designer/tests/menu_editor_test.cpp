// SPDX-License-Identifier: MIT
// The menu editor offscreen: a menu built with keys and buttons from nothing, saved, refused when
// the display would refuse it, and walked in the preview with the keyboard.

#include "command_ids.h"
#include "main_window.h"
#include "menu_editor.h"
#include "menu_entry_form.h"
#include "preview_widget.h"
#include "qt_application.h"
#include "scripted_prompts.h"
#include "test_environment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using namespace pixtera::test;

class MenuEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application();
        window = std::make_unique<MainWindow>(nullptr, std::make_unique<ScriptedPrompts>(script));
        window->resize(900, 600);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->Command(kMenuEditor);
        editor = &window->ShowMenuEditor();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
        // The tree's keys act only where the keyboard is, in the active window.
        ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    }

    MenuEntryForm& form() { return editor->form(); }

    void TreeKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        editor->tree().setFocus();
        QTest::keyClick(&editor->tree(), key, modifiers);
    }
    // Types into a field as the user does: the text, then Enter.
    static void Type(QLineEdit& field, const QString& text)
    {
        field.setFocus();
        field.selectAll();
        QTest::keyClicks(&field, text);
        QTest::keyClick(&field, Qt::Key_Return);
    }
    void ChooseAction(MenuActionKind kind)
    {
        QComboBox& chooser = form().action();
        chooser.setCurrentIndex(chooser.findData(static_cast<int>(kind)));
        emit chooser.activated(chooser.currentIndex());
    }
    void Click(const char* button)
    {
        auto* found = editor->findChild<QPushButton*>(QString::fromLatin1(button));
        ASSERT_NE(found, nullptr) << button;
        QTest::mouseClick(found, Qt::LeftButton);
    }

    // Box > [Clock (shows clock.pxd), System > [Uptime -p (asked), Reboot (asked)]], built as the
    // user would: Insert and Shift+Insert add, the label is typed, Ctrl+arrows nest and move.
    void BuildMenu()
    {
        Type(editor->title(), QStringLiteral("Box"));
        TreeKey(Qt::Key_Insert);
        ASSERT_EQ(QApplication::focusWidget(), &form().label()) << "a new entry's label is typed at once";
        QTest::keyClicks(&form().label(), QStringLiteral("Clock"));
        QTest::keyClick(&form().label(), Qt::Key_Return);
        ChooseAction(MenuActionKind::ShowDesign);
        Type(form().design(), QStringLiteral("clock.pxd"));

        TreeKey(Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyClicks(&form().label(), QStringLiteral("System"));
        QTest::keyClick(&form().label(), Qt::Key_Return);
        Click("addEntry");
        QTest::keyClicks(&form().label(), QStringLiteral("Reboot"));
        QTest::keyClick(&form().label(), Qt::Key_Return);
        ChooseAction(MenuActionKind::Reboot);
        QTest::mouseClick(&form().confirm(), Qt::LeftButton);
        TreeKey(Qt::Key_Right, Qt::ControlModifier);
        ASSERT_EQ(editor->chosen(), (MenuPath{1, 0})) << "nested into System";

        TreeKey(Qt::Key_Insert);
        QTest::keyClicks(&form().label(), QStringLiteral("Uptime"));
        QTest::keyClick(&form().label(), Qt::Key_Return);
        TreeKey(Qt::Key_Up, Qt::ControlModifier);
        ASSERT_EQ(editor->chosen(), (MenuPath{1, 0}));
        ChooseAction(MenuActionKind::RunCommand);
        Type(form().program(), QStringLiteral("/usr/bin/uptime"));
        form().arguments().setFocus();
        QTest::keyClicks(&form().arguments(), QStringLiteral("-p"));
        QTest::mouseClick(&form().confirm(), Qt::LeftButton); // takes the keyboard from the arguments

        TreeKey(Qt::Key_Insert);
        QTest::keyClicks(&form().label(), QStringLiteral("Scratch"));
        QTest::keyClick(&form().label(), Qt::Key_Return);
        TreeKey(Qt::Key_Delete);
    }

    static Menu ExpectedMenu()
    {
        Menu menu;
        menu.title = "Box";
        MenuEntry clock{"Clock", false, {}, {}};
        clock.action.kind = MenuActionKind::ShowDesign;
        clock.action.design = "clock.pxd";
        MenuEntry uptime{"Uptime", false, {}, {}};
        uptime.action.kind = MenuActionKind::RunCommand;
        uptime.action.command = {"/usr/bin/uptime", "-p"};
        uptime.action.confirm = true;
        MenuEntry reboot{"Reboot", false, {}, {}};
        reboot.action.kind = MenuActionKind::Reboot;
        reboot.action.confirm = true;
        menu.entries = {clock, {"System", true, {uptime, reboot}, {}}};
        return menu;
    }

    // A row of the frame the preview shows (20x4 without a service).
    std::string ShownRow(int row) const { return window->canvas().shownFrame().substr(row * 20, 20); }

    ScriptedPrompts::Script script;
    std::unique_ptr<MainWindow> window;
    MenuEditor* editor = nullptr;
};

TEST_F(MenuEditorTest, AMenuBuiltWithKeysAndButtonsIsSavedAndReadBack)
{
    BuildMenu();
    EXPECT_EQ(editor->document().menu(), ExpectedMenu());
    EXPECT_EQ(editor->tree().topLevelItemCount(), 2);
    EXPECT_EQ(editor->tree().topLevelItem(1)->childCount(), 2);
    EXPECT_EQ(editor->problem().text(), "");
    EXPECT_TRUE(editor->windowTitle().endsWith(u'*'));

    const auto file = TestDirectory() / "box.pxm";
    script.files.push_back(file);
    QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(script.messages.empty()) << script.messages.front();
    Menu read;
    const MenuReadResult result = LoadMenu(file, read);
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(read, ExpectedMenu());
    EXPECT_FALSE(editor->windowTitle().endsWith(u'*'));

    // Undone to nothing, one step at a time, and opened again.
    while (editor->document().history().canUndo())
        editor->document().history().undo();
    EXPECT_TRUE(editor->document().menu().entries.empty());
    EXPECT_EQ(editor->tree().topLevelItemCount(), 0);
    EXPECT_TRUE(editor->Open(file));
    EXPECT_EQ(editor->document().menu(), ExpectedMenu());
}

TEST_F(MenuEditorTest, AMenuTheDisplayWouldRefuseSaysWhyAndIsNotWritten)
{
    BuildMenu();
    editor->Choose({1, 0});
    form().program().clear();
    Type(form().program(), QString());
    form().arguments().clear();
    QTest::mouseClick(&form().confirm(), Qt::LeftButton);
    EXPECT_TRUE(editor->problem().text().contains(QStringLiteral("System > Uptime")))
        << editor->problem().text().toStdString();

    const auto file = TestDirectory() / "refused.pxm";
    script.files.push_back(file);
    EXPECT_FALSE(editor->Save());
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_NE(script.messages[0].find("The menu was not saved: System > Uptime"), std::string::npos)
        << script.messages[0];
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(MenuEditorTest, TheChooserListsEveryActionAndTheFormShowsItsFields)
{
    QComboBox& chooser = form().action();
    std::set<int> kinds;
    std::set<QString> captions;
    for (int i = 0; i < chooser.count(); ++i) {
        kinds.insert(chooser.itemData(i).toInt());
        captions.insert(chooser.itemText(i));
    }
    const int everyKind = static_cast<int>(MenuActionKind::PublishEvent) + 1;
    EXPECT_EQ(kinds.size(), static_cast<std::size_t>(everyKind));
    EXPECT_EQ(captions.size(), static_cast<std::size_t>(everyKind));
    for (int kind = 0; kind < everyKind; ++kind)
        EXPECT_TRUE(kinds.count(kind)) << kind;

    TreeKey(Qt::Key_Insert);
    ChooseAction(MenuActionKind::SetData);
    EXPECT_TRUE(form().Shows(form().item()));
    EXPECT_TRUE(form().Shows(form().value()));
    EXPECT_FALSE(form().Shows(form().program()));
    EXPECT_FALSE(form().Shows(form().design()));
    Type(form().item(), QStringLiteral("door"));
    EXPECT_EQ(editor->document().menu().entries[0].action.item, "door");
    ChooseAction(MenuActionKind::PublishEvent);
    EXPECT_TRUE(form().Shows(form().event()));
    EXPECT_FALSE(form().Shows(form().item()));

    TreeKey(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_FALSE(form().Shows(form().action())) << "a submenu has a label only";
    EXPECT_TRUE(form().Shows(form().label()));
}

TEST_F(MenuEditorTest, ThePreviewWalksTheMenuWithTheArrowsEnterAndEscape)
{
    BuildMenu();
    PreviewWidget& canvas = window->canvas();
    ASSERT_TRUE(editor->walkInPreview().isChecked());
    canvas.setFocus();
    const auto key = [&](Qt::Key k) { QTest::keyClick(&canvas, k); };
    EXPECT_EQ(canvas.shownFrame(), canvas.frame()) << "the design shows until Enter";

    key(Qt::Key_Return);
    EXPECT_EQ(ShownRow(0), "Box                 ");
    EXPECT_EQ(ShownRow(1), ">Clock              ");
    EXPECT_EQ(ShownRow(2), " System             ");
    key(Qt::Key_Down);
    EXPECT_EQ(ShownRow(2), ">System             ");
    key(Qt::Key_Right);
    EXPECT_EQ(ShownRow(0), "System              ");
    EXPECT_EQ(ShownRow(1), ">Uptime             ");
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    EXPECT_EQ(ShownRow(0), "Reboot?             ");
    EXPECT_EQ(ShownRow(1), "Enter=yes Esc=no    ");
    key(Qt::Key_Escape);
    EXPECT_EQ(ShownRow(2), ">Reboot             ") << "Escape answers no";
    key(Qt::Key_Up);
    key(Qt::Key_Return);
    EXPECT_EQ(ShownRow(0), "Run Uptime?         ");
    key(Qt::Key_Return);
    EXPECT_EQ(ShownRow(0), "Uptime              ");
    EXPECT_EQ(ShownRow(1), "done (preview)      ");
    // The note goes by itself after a moment; the level shows again.
    EXPECT_TRUE(TickUntil(
        *window, [&] { return ShownRow(1) == ">Uptime             "; }, 10000));
    key(Qt::Key_Left);
    EXPECT_EQ(ShownRow(2), ">System             ") << "back on the submenu just left";
    key(Qt::Key_Escape);
    EXPECT_EQ(canvas.shownFrame(), canvas.frame()) << "left: the design again";

    // Unticked, the keys are the design's again: Enter opens no menu.
    QTest::mouseClick(&editor->walkInPreview(), Qt::LeftButton);
    EXPECT_EQ(canvas.menuWalk(), nullptr);
    key(Qt::Key_Return);
    EXPECT_EQ(canvas.shownFrame(), canvas.frame());
    QTest::mouseClick(&editor->walkInPreview(), Qt::LeftButton);
    editor->close();
    EXPECT_EQ(canvas.menuWalk(), nullptr) << "a closed editor leaves the preview to the design";
}

TEST_F(MenuEditorTest, ClosingTheWindowOffersToSaveAnUnsavedMenu)
{
    editor->close();
    ASSERT_FALSE(editor->isVisible());
    EXPECT_TRUE(window->close()) << "nothing to save";
    EXPECT_TRUE(script.questions.empty());

    window->show();
    window->ShowMenuEditor();
    editor->AddEntry();
    editor->close();
    const auto file = TestDirectory() / "kept.pxm";
    script.yesNo.push_back(true);
    script.files.push_back(std::nullopt); // the save dialog cancelled: the window stays
    EXPECT_FALSE(window->close());
    ASSERT_EQ(script.questions.size(), 1u);
    EXPECT_EQ(script.questions[0], "Menu editor|The menu has changes that are not saved. Save them?");
    script.yesNo.push_back(true);
    script.files.push_back(file);
    EXPECT_TRUE(window->close());
    Menu saved;
    ASSERT_TRUE(LoadMenu(file, saved).ok);
    EXPECT_EQ(saved.entries.size(), 1u);
}

TEST_F(MenuEditorTest, TheWindowGoesWhileALabelIsBeingTyped)
{
    // The label's field gives up the keyboard as the window goes, after the editor's menu has.
    QTest::keyClick(editor, Qt::Key_N, Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), &editor->tree()) << "Alt+N: the entries";
    QTest::keyClick(&editor->tree(), Qt::Key_Insert);
    QTest::keyClicks(&form().label(), QStringLiteral("Half typed"));
    ASSERT_EQ(QApplication::focusWidget(), &form().label());
    window.reset();
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
}

TEST_F(MenuEditorTest, ThePreviewFollowsTheDisplaysSize)
{
    BuildMenu();
    PreviewWidget& canvas = window->canvas();
    window->Command(kVirtual2x16);
    canvas.setFocus();
    QTest::keyClick(&canvas, Qt::Key_Return);
    EXPECT_EQ(canvas.shownFrame(), std::string("Box          1/2") + ">Clock          ");
}

} // namespace
