// SPDX-License-Identifier: MIT
// Menus built, changed, undone and saved by the designer's menu document.

#include "gui_application.h"
#include "menu_document.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using pixtera::test::FileText;
using pixtera::test::TestDirectory;

MenuAction Command(std::vector<std::string> command, bool confirm)
{
    MenuAction action;
    action.kind = MenuActionKind::RunCommand;
    action.command = std::move(command);
    action.confirm = confirm;
    return action;
}

// Front panel > [Clock, Light > [Toggle], System > [Uptime -p (asked), Reboot (asked)], Event]
void BuildFrontPanel(MenuDocument& document)
{
    ASSERT_TRUE(document.SetTitle("Front panel"));
    const auto clock = document.AddEntry({}, "Clock");
    ASSERT_TRUE(clock);
    MenuAction show;
    show.kind = MenuActionKind::ShowDesign;
    show.design = "clock.pxd";
    ASSERT_TRUE(document.SetAction(*clock, show));
    const auto light = document.AddSubmenu(*clock, "Light");
    ASSERT_EQ(light, (MenuPath{1}));
    auto toggle = document.AddEntry(*light, "Toggle");
    ASSERT_EQ(toggle, (MenuPath{2}));
    toggle = document.Nest(*toggle);
    ASSERT_EQ(toggle, (MenuPath{1, 0}));
    MenuAction backlight;
    backlight.kind = MenuActionKind::BacklightToggle;
    ASSERT_TRUE(document.SetAction(*toggle, backlight));
    const auto system = document.AddSubmenu(*light, "System");
    ASSERT_EQ(system, (MenuPath{2}));
    auto uptime = document.Nest(*document.AddEntry(*system, "Uptime"));
    ASSERT_EQ(uptime, (MenuPath{2, 0}));
    ASSERT_TRUE(document.SetAction(*uptime, Command({"/usr/bin/uptime", "-p"}, true)));
    auto reboot = document.AddEntry(*uptime, "Rebot");
    ASSERT_EQ(reboot, (MenuPath{2, 1}));
    ASSERT_TRUE(document.Rename(*reboot, "Reboot"));
    MenuAction rebootAction;
    rebootAction.kind = MenuActionKind::Reboot;
    rebootAction.confirm = true;
    ASSERT_TRUE(document.SetAction(*reboot, rebootAction));
    const auto event = document.AddEntry(*system, "Event");
    MenuAction publish;
    publish.kind = MenuActionKind::PublishEvent;
    publish.event = "door.open";
    ASSERT_TRUE(document.SetAction(*event, publish));
}

Menu ExpectedFrontPanel()
{
    Menu menu;
    menu.title = "Front panel";
    MenuEntry clock{"Clock", false, {}, {}};
    clock.action.kind = MenuActionKind::ShowDesign;
    clock.action.design = "clock.pxd";
    MenuEntry toggle{"Toggle", false, {}, {}};
    toggle.action.kind = MenuActionKind::BacklightToggle;
    MenuEntry uptime{"Uptime", false, {}, Command({"/usr/bin/uptime", "-p"}, true)};
    MenuEntry reboot{"Reboot", false, {}, {}};
    reboot.action.kind = MenuActionKind::Reboot;
    reboot.action.confirm = true;
    MenuEntry event{"Event", false, {}, {}};
    event.action.kind = MenuActionKind::PublishEvent;
    event.action.event = "door.open";
    menu.entries = {clock, {"Light", true, {toggle}, {}}, {"System", true, {uptime, reboot}, {}}, event};
    return menu;
}

TEST(MenuDocument, AMenuBuiltFromNothingIsSavedAndReadBackTheSame)
{
    test::GuiApplication();
    MenuDocument document;
    int changes = 0;
    QObject::connect(&document, &MenuDocument::changed, [&] { ++changes; });
    BuildFrontPanel(document);
    EXPECT_EQ(document.menu(), ExpectedFrontPanel());
    EXPECT_GT(changes, 10) << "every edit says so";
    EXPECT_TRUE(document.modified());
    EXPECT_EQ(document.Problem(), "");
    MenuAction stray = Command({"/usr/bin/uptime", "-p"}, true);
    stray.design = "left from ShowDesign";
    stray.event = "left.from.event";
    ASSERT_TRUE(document.SetAction({2, 0}, stray));
    EXPECT_EQ(document.menu(), ExpectedFrontPanel()) << "an action keeps only its own fields, as the file does";

    const auto file = TestDirectory() / "panel.pxm";
    std::string why;
    ASSERT_TRUE(document.SaveAs(file, &why)) << why;
    EXPECT_FALSE(document.modified());
    EXPECT_EQ(document.path(), file);
    EXPECT_EQ(document.Title(), "Menu - " + file.string());

    Menu read;
    const MenuReadResult result = LoadMenu(file, read);
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(read, ExpectedFrontPanel());

    MenuDocument reopened;
    ASSERT_TRUE(reopened.Open(file, &why)) << why;
    EXPECT_EQ(reopened.menu(), ExpectedFrontPanel());
    EXPECT_FALSE(reopened.modified());
    EXPECT_FALSE(reopened.history().canUndo()) << "an opened menu starts a history of its own";
}

TEST(MenuDocument, EveryKindOfEditIsUndoneAndRedoneAsOneStep)
{
    test::GuiApplication();
    MenuDocument document;
    BuildFrontPanel(document);
    const std::vector<std::pair<const char*, std::function<bool()>>> edits{
        {"add entry",
         [&] {
             return document.AddEntry({2, 0}, "Load").has_value();
         }},
        {"add submenu", [&] { return document.AddSubmenu({0}, "More").has_value(); }},
        {"nest", [&] { return document.Nest({3}).has_value(); }},
        {"un-nest",
         [&] {
             return document.Unnest({2, 1}).has_value();
         }},
        {"move up", [&] { return document.MoveUp({2}).has_value(); }},
        {"move down", [&] { return document.MoveDown({0}).has_value(); }},
        {"rename",
         [&] {
             return document.Rename({0, 0}, "Switch").has_value();
         }},
        {"set action",
         [&] {
             return document.SetAction({3, 0}, Command({"/bin/true", "a b", "c"}, false)).has_value();
         }},
        {"delete", [&] { return document.Remove({2}); }},
        {"title", [&] { return document.SetTitle("Box"); }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        const Menu before = document.menu();
        const int steps = document.history().count();
        ASSERT_TRUE(edit());
        const Menu after = document.menu();
        EXPECT_NE(after, before);
        EXPECT_EQ(document.history().count(), steps + 1);
        document.history().undo();
        EXPECT_EQ(document.menu(), before);
        document.history().redo();
        EXPECT_EQ(document.menu(), after);
    }
    while (document.history().canUndo())
        document.history().undo();
    EXPECT_EQ(document.menu(), (Menu{kDefaultMenuTitle, {}}));
    EXPECT_FALSE(document.modified()) << "back at the state it started in";
}

TEST(MenuDocument, EditsThatCannotBeDoneChangeNothingAndRecordNoStep)
{
    test::GuiApplication();
    MenuDocument document;
    BuildFrontPanel(document);
    const Menu before = document.menu();
    const int steps = document.history().count();
    EXPECT_FALSE(document.Nest({0})) << "nothing above the first entry";
    EXPECT_FALSE(document.Nest({1})) << "the entry above is no submenu";
    EXPECT_FALSE(document.Unnest({1})) << "already at the top";
    EXPECT_FALSE(document.MoveUp({2, 0}));
    EXPECT_FALSE(document.MoveDown({2, 1}));
    EXPECT_FALSE(document.SetAction({1}, MenuAction{})) << "a submenu has no action";
    EXPECT_FALSE(document.Rename({7}, "x"));
    EXPECT_FALSE(document.Remove({1, 5}));
    EXPECT_FALSE(document.AddEntry({0, 0}, "x")) << "the clock is no submenu";
    EXPECT_EQ(document.Rename({1, 0}, "Toggle"), (MenuPath{1, 0})) << "the same label: done, and no step";
    EXPECT_EQ(document.menu(), before);
    EXPECT_EQ(document.history().count(), steps);
}

TEST(MenuDocument, TheTreeStaysWithinWhatTheReaderTakes)
{
    test::GuiApplication();
    MenuDocument document;
    MenuPath deepest = *document.AddSubmenu({}, "1");
    // Each new submenu goes below the previous one; the last level may hold entries only.
    for (std::size_t depth = 2; depth < kMaxMenuDepth; ++depth) {
        const auto added = document.AddSubmenu(deepest, std::to_string(depth));
        ASSERT_TRUE(added);
        const auto nested = document.Nest(*added);
        ASSERT_TRUE(nested) << depth;
        deepest = *nested;
    }
    const auto last = document.AddSubmenu(deepest, "too deep");
    ASSERT_TRUE(last);
    EXPECT_FALSE(document.Nest(*last)) << "a submenu at the deepest level would open one more";
    const auto entry = document.AddEntry(deepest, "leaf");
    ASSERT_TRUE(entry);
    ASSERT_TRUE(document.Remove(*last));
    EXPECT_TRUE(document.Nest(*document.AddEntry({deepest.begin(), deepest.end()}, "leaf 2")));
    EXPECT_EQ(document.Problem(), "");

    MenuDocument wide;
    for (std::size_t i = 0; i < kMaxMenuEntries; ++i)
        ASSERT_TRUE(wide.AddEntry({}, "e" + std::to_string(i)));
    EXPECT_FALSE(wide.AddEntry({}, "one too many"));
    EXPECT_EQ(wide.menu().entries.size(), kMaxMenuEntries);
}

TEST(MenuDocument, AMenuTheReaderWouldRefuseIsNotSavedAndTheReasonIsGiven)
{
    test::GuiApplication();
    MenuDocument document;
    BuildFrontPanel(document);
    const auto file = TestDirectory() / "refused.pxm";
    std::string why;
    ASSERT_TRUE(document.SaveAs(file, &why)) << why;
    const std::string saved = FileText(file);

    ASSERT_TRUE(document.SetAction({2, 0}, Command({}, true)));
    EXPECT_FALSE(document.SaveAs(file, &why));
    EXPECT_NE(why.find("System > Uptime"), std::string::npos) << why;
    EXPECT_EQ(FileText(file), saved) << "the file is left as it was";
    EXPECT_TRUE(document.modified());

    const auto fresh = TestDirectory() / "never.pxm";
    ASSERT_TRUE(document.SetAction({2, 0}, Command({"/usr/bin/uptime"}, true)));
    ASSERT_TRUE(document.Rename({1}, ""));
    why.clear();
    EXPECT_FALSE(document.SaveAs(fresh, &why));
    EXPECT_NE(why.find("label"), std::string::npos) << why;
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(document.path(), file) << "the document keeps its file";
}

TEST(MenuDocument, AFileTheReaderRefusesLeavesTheMenuAsItWas)
{
    test::GuiApplication();
    MenuDocument document;
    BuildFrontPanel(document);
    const auto file = TestDirectory() / "bad.pxm";
    std::ofstream(file) << R"(<Menu><Entry Label="Reboot" Action="Rebot"/></Menu>)";
    std::string why;
    EXPECT_FALSE(document.Open(file, &why));
    EXPECT_NE(why.find("unknown action"), std::string::npos) << why;
    EXPECT_EQ(document.menu(), ExpectedFrontPanel());
    EXPECT_TRUE(document.history().canUndo());
}

} // namespace
