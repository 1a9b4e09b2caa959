// SPDX-License-Identifier: MIT
// The panes and the history without a service: the property grid, the data tree, undo and redo,
// and keyboard editing on the canvas.

#include "canvas_interaction.h"
#include "command_ids.h"
#include "data_panel.h"
#include "data_tree.h"
#include "icon_menu.h"
#include "main_window.h"
#include "preview_widget.h"
#include "property_grid.h"
#include "property_model.h"
#include "qt_application.h"
#include "scripted_prompts.h"
#include "service_objects.h"
#include "test_environment.h"

#include <pixtera/platform/com_object.h>
#include <pixtera/sdk/drawn_icons.h>

#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using namespace pixtera::test;

constexpr const char* kTwoItems = R"(<Design><DisplayItems>
    <DisplayItem><Position X="0" Y="0" Width="5" Height="1"/><Appearance Mode="Static" Allignment="Left"/>
    <Data Mode="Static" Text="Hello"/></DisplayItem>
    <DisplayItem><Position X="0" Y="2" Width="10" Height="1"/><Appearance Mode="HorizontalBar" HBarMax="50"/>
    <Data Mode="Data" Name="CPU.Total"/></DisplayItem></DisplayItems><Background FileName=""/></Design>)";

class PanesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application();
        window = std::make_unique<MainWindow>(nullptr, std::make_unique<ScriptedPrompts>(script));
        window->resize(900, 600);
        design = TestDirectory() / "two.pxd";
        std::ofstream(design) << kTwoItems;
        ASSERT_TRUE(window->OpenFile(design));
    }

    void Select(std::size_t index)
    {
        window->editor().Reset();
        for (std::size_t i = 0; i <= index; ++i)
            window->editor().SelectNext();
        window->properties().Show(window->editor().selected());
    }

    void Edit(const QString& key, const QVariant& value)
    {
        window->properties().setData(window->properties().ValueIndex(key), value, PropertyModel::kValueRole);
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&window->canvas(), static_cast<Qt::Key>(key), modifiers);
    }

    DisplayItem& Item(std::size_t i) { return window->document().design().items.at(i); }

    ScriptedPrompts::Script script;
    std::unique_ptr<MainWindow> window;
    std::filesystem::path design;
};

TEST_F(PanesTest, TheGridShowsTheRowsInOrderAndIsDisabledWithoutASelection)
{
    PropertyModel& model = window->properties();
    QStringList labels;
    for (int c = 0; c < model.rowCount(); ++c) {
        const QModelIndex category = model.index(c, 0);
        labels << category.data().toString();
        for (int r = 0; r < model.rowCount(category); ++r)
            labels << model.index(r, 0, category).data().toString();
    }
    EXPECT_EQ(labels, (QStringList{"Position",   "X",
                                   "Y",          "Width",
                                   "Appearance", "Mode",
                                   "Alignment",  "Scroll_delay",
                                   "Digit rows", "Horiz. Bar",
                                   "Maximum",    "Data",
                                   "Data Type",  "DataName",
                                   "Text",       "Data Conversion",
                                   "Convert",    "From",
                                   "To",         "Data Formatting",
                                   "Format",     "Signif. Digits"}));
    EXPECT_FALSE(model.itemFromIndex(model.ValueIndex("X"))->isEnabled());
    EXPECT_EQ(model.Value("Width").toInt(), 40) << "placeholder";

    Select(1);
    EXPECT_TRUE(model.itemFromIndex(model.ValueIndex("X"))->isEnabled());
    EXPECT_FALSE(model.itemFromIndex(model.ValueIndex("DataName"))->isEnabled()) << "read-only";
    EXPECT_EQ(model.Value("DataName").toString(), "CPU.Total");
    EXPECT_EQ(model.Value("Maximum").toInt(), 50);
    EXPECT_EQ(model.ValueIndex("Mode").data().toString(), "3 - Horizontal bar");

    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QRect display = window->painter().DisplayRect(window->canvas().size());
    const QPoint empty = display.bottomRight() - QPoint(2, 2);
    QTest::mouseMove(&window->canvas(), empty);
    QTest::mouseClick(&window->canvas(), Qt::LeftButton, {}, empty);
    EXPECT_FALSE(window->editor().selection());
    EXPECT_FALSE(model.itemFromIndex(model.ValueIndex("X"))->isEnabled())
        << "a click on empty canvas disables every row";
}

TEST_F(PanesTest, GridEditsAreCorrectedAppliedAndSaved)
{
    Select(0);
    Edit("Width", 300);
    EXPECT_EQ(Item(0).width, 255);
    EXPECT_EQ(window->properties().Value("Width").toInt(), 255) << "the grid shows the stored width";
    Edit("Width", 0);
    EXPECT_EQ(Item(0).width, 1);
    EXPECT_EQ(window->properties().ValueIndex("Width").data().toString(), "1");

    Select(1);
    Edit("Maximum", 0);
    EXPECT_TRUE(Item(1).automaticMaximum);
    EXPECT_EQ(Item(1).barMaximum, 50) << "the old maximum is kept";
    window->properties().Show(&Item(1));
    EXPECT_EQ(window->properties().Value("Maximum").toInt(), 0);

    Edit("Convert", 1);
    window->Tick();
    EXPECT_TRUE(window->windowTitle().endsWith('*'));
    ASSERT_TRUE(window->SaveFile(design));
    EXPECT_NE(FileText(design).find("<Convert From=\"Bytes\" To=\"KiloBytes\"/>"), std::string::npos)
        << FileText(design);
}

TEST_F(PanesTest, UndoingEveryEditGivesTheSavedFileBackAndRedoTheEditedOne)
{
    ASSERT_TRUE(window->SaveFile(design));
    const std::string saved = FileText(design);
    Select(0);
    Edit("X", 4);
    Edit("Text", "Howdy");
    window->Command(designer::kModeStatic + 1);
    window->Command(kSpeedVerySlow + 3);
    Select(1);
    window->Command(kDelete);
    window->canvas().setFocus();
    window->workspace().ChangeSelected("nothing selected", [](DisplayItem& i) { i.row = 9; });
    EXPECT_TRUE(window->document().modified());
    const auto edited = TestDirectory() / "edited.pxd";
    const Design before = window->document().design();
    ASSERT_TRUE(window->SaveFile(edited));
    const std::string editedText = FileText(edited);

    QUndoStack& stack = window->history().stack();
    EXPECT_EQ(stack.count(), 5) << "one step per edit";
    while (stack.canUndo())
        stack.undo();
    ASSERT_TRUE(window->SaveFile(design));
    EXPECT_EQ(FileText(design), saved) << "undone to the start: byte for byte";
    while (stack.canRedo())
        stack.redo();
    EXPECT_EQ(window->document().design(), before);
    ASSERT_TRUE(window->SaveFile(edited));
    EXPECT_EQ(FileText(edited), editedText);
}

TEST_F(PanesTest, TheTitleFollowsTheHistorysSavedState)
{
    ASSERT_TRUE(window->SaveFile(design));
    Select(0);
    Edit("Y", 3);
    window->Tick();
    EXPECT_TRUE(window->windowTitle().endsWith('*'));
    window->history().stack().undo();
    window->Tick();
    EXPECT_FALSE(window->windowTitle().endsWith('*')) << "back at the saved state";
    window->findChild<QAction*>(QStringLiteral("redo"))->trigger();
    window->Tick();
    EXPECT_TRUE(window->windowTitle().endsWith('*'));
    EXPECT_EQ(window->findChild<QAction*>(QStringLiteral("undo"))->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(window->findChild<QAction*>(QStringLiteral("redo"))->shortcut(), QKeySequence("Ctrl+Shift+Z"));
}

TEST_F(PanesTest, KeysMoveResizeCycleAndCancel)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->canvas().setFocus();
    Key(Qt::Key_Tab);
    EXPECT_EQ(window->editor().selection(), 0u);
    Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    EXPECT_EQ(Item(0).column, 1);
    EXPECT_EQ(Item(0).row, 1);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_EQ(Item(0).column, 0) << "not past the left edge";
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Item(0).width, 6);
    for (int i = 0; i < 8; ++i)
        Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Item(0).width, 1);
    Key(Qt::Key_Tab);
    EXPECT_EQ(window->editor().selection(), 1u);
    Key(Qt::Key_Tab);
    EXPECT_EQ(window->editor().selection(), 0u) << "round again";

    window->interaction().StartMove();
    ASSERT_FALSE(window->canvas().hoveredCell()) << "Move needs the pointer over the display";
    const QRect display = window->painter().DisplayRect(window->canvas().size());
    QTest::mouseMove(&window->canvas(), display.topLeft() + QPoint(2, 2));
    window->interaction().StartMove();
    ASSERT_EQ(window->editor().mode(), PointerMode::Moving);
    const int pitch = window->painter().pixelSize() + 1;
    QTest::mouseMove(&window->canvas(), display.topLeft() + QPoint(6 * 7 * pitch + 2, 8 * 3 * pitch + 2));
    EXPECT_EQ(Item(0).column, 7);
    Key(Qt::Key_Escape);
    EXPECT_EQ(window->editor().mode(), PointerMode::None);
    EXPECT_EQ(Item(0).column, 0) << "Escape puts the item back";
    EXPECT_EQ(Item(0).row, 1);
}

TEST_F(PanesTest, AMoveCancelledWithEscapeLeavesASavedDesignUnmodified)
{
    ASSERT_TRUE(window->SaveFile(design));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->canvas().setFocus();
    Key(Qt::Key_Tab);
    const QRect display = window->painter().DisplayRect(window->canvas().size());
    QTest::mouseMove(&window->canvas(), display.topLeft() + QPoint(2, 2));
    window->interaction().StartMove();
    ASSERT_EQ(window->editor().mode(), PointerMode::Moving);
    const int pitch = window->painter().pixelSize() + 1;
    QTest::mouseMove(&window->canvas(), display.topLeft() + QPoint(6 * 5 * pitch + 2, 8 * 2 * pitch + 2));
    window->Tick();
    Key(Qt::Key_Escape);
    window->Tick();
    EXPECT_FALSE(window->windowTitle().endsWith('*')) << "nothing was changed";
    EXPECT_FALSE(window->history().stack().canUndo());
}

// A data collection with fixed descriptions.
class FakeCollection final : public ComObject<FakeCollection, DispatchNotImplemented<IDataCollection>> {
public:
    explicit FakeCollection(std::vector<std::u16string> descriptions) : descriptions_(std::move(descriptions)) {}
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override
    {
        *count = static_cast<LONG>(descriptions_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Value(VARIANT, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Name(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Description(LONG id, BSTR* description) override
    {
        *description = BString(descriptions_.at(static_cast<std::size_t>(id - 1))).Detach();
        return S_OK;
    }

private:
    std::vector<std::u16string> descriptions_;
};

TEST(DataTree, DescriptionsBecomeFoldersAndLeaves)
{
    const auto nodes = BuildDataTree(
        {u"Fraps\\FPS", u"Fraps\\Game name", u"Uptime", u"Disk\\\\sda\\", u"Uptime", u"\\Disk\\sdb", u"fraps\\Other"});
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(nodes[0].text, u"Fraps");
    EXPECT_TRUE(nodes[0].folder());
    ASSERT_EQ(nodes[0].children.size(), 2u);
    EXPECT_EQ(nodes[0].children[0].text, u"FPS");
    EXPECT_EQ(nodes[0].children[0].id, 1);
    EXPECT_EQ(nodes[0].children[1].text, u"Game name");
    EXPECT_EQ(nodes[0].children[1].id, 2);
    EXPECT_EQ(nodes[1].text, u"Uptime");
    EXPECT_EQ(nodes[1].id, 3) << "no backslash: a leaf at the root";
    EXPECT_EQ(nodes[2].text, u"Disk");
    ASSERT_EQ(nodes[2].children.size(), 2u) << "doubled, leading and trailing backslashes are skipped";
    EXPECT_EQ(nodes[2].children[0].text, u"sda");
    EXPECT_EQ(nodes[2].children[1].id, 6);
    EXPECT_EQ(nodes[3].text, u"Uptime");
    EXPECT_EQ(nodes[3].id, 5) << "equal paths stay two leaves with their own ids";
    EXPECT_EQ(nodes[4].text, u"fraps") << "folders match exactly";
}

TEST(DataPanelTest, FillsFromTheCollectionAndOnlyLeavesAreDragged)
{
    Application();
    auto collection = MakeComObject<FakeCollection>(std::vector<std::u16string>{u"Fraps\\FPS", u"Fraps\\Game name"});
    DataPanel panel;
    panel.Fill(*collection);
    ASSERT_EQ(panel.topLevelItemCount(), 1);
    QTreeWidgetItem* folder = panel.topLevelItem(0);
    EXPECT_EQ(folder->text(0), "Fraps");
    ASSERT_EQ(folder->childCount(), 2);
    EXPECT_EQ(folder->child(1)->text(0), "Game name");
    EXPECT_FALSE(folder->flags() & Qt::ItemIsDragEnabled) << "a folder is not dragged";
    const QModelIndex leaf = panel.model()->index(1, 0, panel.model()->index(0, 0));
    std::unique_ptr<QMimeData> mime(panel.model()->mimeData({leaf}));
    ASSERT_TRUE(mime);
    EXPECT_EQ(DataPanel::DraggedId(*mime), 2);
}

} // namespace

namespace {

TEST_F(PanesTest, AListChoiceTakesEffectWhenChosen)
{
    Select(0);
    auto* grid = static_cast<PropertyGrid*>(window->pane(kViewProperties)->widget());
    // The grid's editor for Mode, wired as the view wires it.
    const QModelIndex mode = window->properties().ValueIndex("Mode");
    QAbstractItemDelegate* delegate = grid->itemDelegateForColumn(1);
    ASSERT_TRUE(delegate);
    std::unique_ptr<QWidget> editor(delegate->createEditor(grid->viewport(), {}, mode));
    delegate->setEditorData(editor.get(), mode);
    QObject::connect(delegate, &QAbstractItemDelegate::commitData, grid,
                     [&](QWidget* committed) { delegate->setModelData(committed, &window->properties(), mode); });
    auto* list = qobject_cast<QComboBox*>(editor.get());
    ASSERT_TRUE(list);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(Item(0).mode, 1) << "no Enter needed";
}

TEST_F(PanesTest, ABigNumberIsAsHighAsItsDigitsAndAsWideAsTheDisplayAllows)
{
    Select(0);
    Edit("Mode", kModeBigNumber);
    EXPECT_EQ(Item(0).mode, kModeBigNumber);
    EXPECT_EQ(Item(0).height, 2);
    EXPECT_EQ(Item(0).width, window->painter().geometry().columns) << "to the display's right edge";
    EXPECT_EQ(window->properties().ValueIndex("Mode").data().toString(), "4 - Big number");
    Edit("DigitRows", 1);
    EXPECT_EQ(Item(0).digitRows, 4);
    EXPECT_EQ(Item(0).height, 4);
    window->Tick();
    ASSERT_TRUE(window->SaveFile(design));
    EXPECT_NE(FileText(design).find(R"(Mode="BigNumber" Allignment="Left" DigitRows="4")"), std::string::npos)
        << FileText(design);

    Edit("Mode", pixtera::kModeStatic);
    EXPECT_EQ(Item(0).height, 1) << "one row again";
    window->history().stack().undo();
    EXPECT_EQ(Item(0).mode, kModeBigNumber);
    EXPECT_EQ(Item(0).height, 4) << "undone in one step";
}

TEST_F(PanesTest, TheTextsEditorInsertsIconsAtTheCursor)
{
    Select(0);
    auto* grid = static_cast<PropertyGrid*>(window->pane(kViewProperties)->widget());
    const QModelIndex text = window->properties().ValueIndex("Text");
    QAbstractItemDelegate* delegate = grid->itemDelegateForColumn(1);
    std::unique_ptr<QWidget> editor(delegate->createEditor(grid->viewport(), {}, text));
    delegate->setEditorData(editor.get(), text);
    auto* line = qobject_cast<QLineEdit*>(editor.get());
    ASSERT_TRUE(line);
    auto* menu = line->findChild<IconMenu*>();
    ASSERT_TRUE(menu) << "the text row has the icon menu";
    EXPECT_EQ(menu->actions().size(), static_cast<qsizetype>(lcd::kDrawnIconCount));
    line->setCursorPosition(2);
    ASSERT_TRUE(menu->Entry("heart"));
    menu->Entry("heart")->trigger();
    EXPECT_EQ(line->text(), QString::fromStdU16String(u"He\uF08Dllo"));
    EXPECT_FALSE(menu->Entry("no such icon"));

    const QModelIndex name = window->properties().ValueIndex("DataName");
    std::unique_ptr<QWidget> other(delegate->createEditor(grid->viewport(), {}, name));
    EXPECT_FALSE(other->findChild<IconMenu*>()) << "only a text holds icons";
}

TEST_F(PanesTest, ACommandDuringMoveFreesTheMouse)
{
    window->show();
    Select(0);
    const QRect display = window->painter().DisplayRect(window->canvas().size());
    QTest::mouseMove(&window->canvas(), display.topLeft() + QPoint(2, 2));
    window->interaction().StartMove();
    ASSERT_EQ(window->editor().mode(), PointerMode::Moving);
    ASSERT_EQ(QWidget::mouseGrabber(), &window->canvas());
    script.saveAnswers = {SaveAnswer::Cancel};
    window->Command(kNew);
    EXPECT_EQ(window->editor().mode(), PointerMode::None);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr) << "the window answers clicks again";
}

} // namespace
