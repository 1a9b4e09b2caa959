// SPDX-License-Identifier: MIT
// A display's keys and menu without a display: what the bindings make of a key, the menu opened
// and walked by the refresh thread's steps, keys at any rate kept to a few, and failures shown
// for their time.

#include "display_keys_settings.h"
#include "display_menu.h"
#include "key_bindings.h"

#include <pixtera/sdk/display_input.h>
#include <pixtera/virtual_display.h>

#include <gtest/gtest.h>

namespace pixtera {
namespace {

using namespace std::chrono_literals;
using Use = DisplayMenu::KeyUse;

std::shared_ptr<const Menu> Entries(std::size_t count)
{
    auto menu = std::make_shared<Menu>();
    menu->title = "Panel";
    for (std::size_t i = 0; i < count; ++i) {
        MenuEntry entry;
        entry.label = "E" + std::to_string(i);
        entry.action.kind = MenuActionKind::BacklightToggle;
        menu->entries.push_back(entry);
    }
    return menu;
}

MenuSettings WithMenu(std::shared_ptr<const Menu> menu, std::chrono::milliseconds timeout = 30s)
{
    MenuSettings settings;
    settings.menu = std::move(menu);
    settings.idleTimeout = timeout;
    return settings;
}

// The row with the cursor's mark.
std::string Chosen(const DisplayMenu& menu, DisplayMenu::Clock::time_point now)
{
    for (const std::u32string& cells : menu.Frame(16, now))
        if (const std::string row = Utf8OfCells(cells); row.starts_with(">"))
            return row.substr(1, row.find(' ') - 1);
    return "(none)";
}

TEST(KeyBindings, DefaultsAndAKeysElementChangeWhatAKeyDoes)
{
    const KeyBindings defaults;
    EXPECT_EQ(defaults.RoleOf(kKeyLeft), KeyRole::PreviousDesign);
    EXPECT_EQ(defaults.RoleOf(kKeyRight), KeyRole::NextDesign);
    EXPECT_EQ(defaults.RoleOf(kKeyEnter), KeyRole::OpenMenu);
    for (LONG free : {kKeyUp, kKeyDown, kKeyEscape, kKeyF1})
        EXPECT_EQ(defaults.RoleOf(free), KeyRole::Nothing) << free;

    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(
        R"(<keys Left="None" F2="NextDesign" Up="PreviousDesign" Enter="Open" up="Menu" Raw="None"/>)"));
    std::vector<std::string> problems;
    const KeyBindings read = ReadKeyBindings(document.child("keys"), problems);
    EXPECT_EQ(read.RoleOf(kKeyLeft), KeyRole::Nothing);
    EXPECT_EQ(read.RoleOf(kKeyF1 + 1), KeyRole::NextDesign);
    EXPECT_EQ(read.RoleOf(kKeyUp), KeyRole::PreviousDesign) << "\"up\" is no key: names are case-sensitive";
    EXPECT_EQ(read.RoleOf(kKeyEnter), KeyRole::OpenMenu) << "an unknown role keeps the default";
    EXPECT_EQ(read.RoleOf(kKeyRight), KeyRole::NextDesign);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_NE(problems[0].find("\"Open\""), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("\"up\""), std::string::npos) << problems[1];
    EXPECT_NE(problems[2].find("\"Raw\""), std::string::npos) << problems[2];
}

TEST(DisplayMenu, DesignKeysAreTheCallersAndEnterOpensTheMenuOnlyWithOne)
{
    DisplayMenu without(MenuSettings{}, 2);
    EXPECT_EQ(without.Key(kKeyRight, kKeyPressed), Use::NextDesign);
    EXPECT_EQ(without.Key(kKeyLeft, kKeyPressed), Use::PreviousDesign);
    EXPECT_EQ(without.Key(kKeyRight, kKeyRepeated), Use::Nothing) << "a held key steps once";
    EXPECT_EQ(without.Key(kKeyEnter, kKeyPressed), Use::Nothing);
    EXPECT_FALSE(without.open());

    DisplayMenu menu(WithMenu(Entries(3)), 2);
    const auto now = DisplayMenu::Clock::now();
    EXPECT_FALSE(menu.Showing(now));
    EXPECT_EQ(menu.Key(kKeyEnter, kKeyPressed), Use::Menu);
    EXPECT_TRUE(menu.Showing(now)) << "at once, before the refresh thread opened it";
    EXPECT_EQ(menu.Key(kKeyRight, kKeyPressed), Use::Menu) << "the open menu takes every key";
    EXPECT_EQ(menu.Key(kKeyEnter, kKeyRepeated), Use::Menu);
    const auto steps = menu.Step(now);
    EXPECT_TRUE(steps.changed);
    EXPECT_TRUE(steps.actions.empty()) << "Right opens submenus only; a held Enter answers nothing";
    EXPECT_EQ(Utf8OfCells(menu.Frame(16, now)[0]).substr(0, 5), "Panel");
    EXPECT_EQ(Chosen(menu, now), "E0");
}

TEST(DisplayMenu, AKeyAtAThousandAHertzMovesTheCursorAsFastAsTheMenuDraws)
{
    DisplayMenu menu(WithMenu(Entries(40)), 4);
    const auto now = DisplayMenu::Clock::now();
    menu.Key(kKeyEnter, kKeyPressed);
    menu.Step(now);
    // A held Down between two draws: its repeats merge into its press.
    menu.Key(kKeyDown, kKeyPressed);
    for (int i = 0; i < 10'000; ++i)
        menu.Key(kKeyDown, kKeyRepeated);
    menu.Step(now);
    EXPECT_EQ(Chosen(menu, now), "E1");
    // Presses are never merged, but at most eight wait for the next draw.
    for (int i = 0; i < 10'000; ++i)
        menu.Key(kKeyDown, kKeyPressed);
    menu.Step(now);
    EXPECT_EQ(Chosen(menu, now), "E9");
    menu.Step(now);
    EXPECT_EQ(Chosen(menu, now), "E9") << "nothing was left waiting";
}

TEST(DisplayMenu, ActionsAreAnsweredOnceAndShowingADesignClosesTheMenu)
{
    auto file = std::make_shared<Menu>();
    file->title = "Panel";
    MenuEntry toggle;
    toggle.label = "Light";
    toggle.action.kind = MenuActionKind::BacklightToggle;
    toggle.action.confirm = true;
    MenuEntry next;
    next.label = "Next";
    next.action.kind = MenuActionKind::NextDesign;
    file->entries = {toggle, next};
    DisplayMenu menu(WithMenu(file), 2);
    const auto now = DisplayMenu::Clock::now();
    menu.Key(kKeyEnter, kKeyPressed);
    menu.Step(now);
    menu.Key(kKeyEnter, kKeyPressed);
    EXPECT_TRUE(menu.Step(now).actions.empty()) << "asked first";
    EXPECT_EQ(Utf8OfCells(menu.Frame(16, now)[1]), "Enter=yes Esc=no");
    menu.Key(kKeyEnter, kKeyPressed);
    auto steps = menu.Step(now);
    ASSERT_EQ(steps.actions.size(), 1u);
    EXPECT_EQ(steps.actions[0].kind, MenuActionKind::BacklightToggle);
    EXPECT_TRUE(menu.open()) << "the menu stays where it was";
    EXPECT_TRUE(menu.Step(now).actions.empty());

    menu.Key(kKeyDown, kKeyPressed);
    menu.Key(kKeyEnter, kKeyPressed);
    steps = menu.Step(now);
    ASSERT_EQ(steps.actions.size(), 1u);
    EXPECT_EQ(steps.actions[0].kind, MenuActionKind::NextDesign);
    EXPECT_FALSE(menu.open()) << "the design is to be seen";
    EXPECT_FALSE(menu.Showing(now));
}

TEST(DisplayMenu, TheIdleTimeEscapeAtTheTopAndCloseLeaveTheMenu)
{
    DisplayMenu menu(WithMenu(Entries(3), 5s), 2);
    const auto start = DisplayMenu::Clock::now();
    menu.Key(kKeyEnter, kKeyPressed);
    menu.Step(start);
    ASSERT_TRUE(menu.Deadline());
    EXPECT_EQ(*menu.Deadline(), start + 5s);
    menu.Step(start + 4s);
    EXPECT_TRUE(menu.open());
    menu.Step(start + 6s);
    EXPECT_FALSE(menu.open());

    menu.Key(kKeyEnter, kKeyPressed);
    menu.Step(start);
    menu.Key(kKeyEscape, kKeyPressed);
    EXPECT_TRUE(menu.Step(start).changed);
    EXPECT_FALSE(menu.open());

    menu.Key(kKeyEnter, kKeyPressed);
    menu.ShowFailure("Refused");
    menu.Close();
    EXPECT_FALSE(menu.open());
    EXPECT_FALSE(menu.Showing(start)) << "neither the menu nor a failure shows on a darkened display";
}

TEST(DisplayMenu, AFailureShowsForItsTimeOverTheMenuAndCutToTheRows)
{
    DisplayMenu menu(WithMenu(Entries(3)), 2);
    menu.ShowFailure("Refused: not authorized\nby polkit and a very long tail that does not fit");
    const auto now = DisplayMenu::Clock::now();
    EXPECT_TRUE(menu.Showing(now)) << "even with the menu closed";
    const auto rows = menu.Frame(16, now);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Utf8OfCells(rows[0]), "Refused: not aut");
    EXPECT_EQ(Utf8OfCells(rows[1]), "horized by polki");
    ASSERT_TRUE(menu.Deadline());
    EXPECT_FALSE(menu.Showing(*menu.Deadline()));
    EXPECT_TRUE(menu.Step(*menu.Deadline()).changed);
    EXPECT_FALSE(menu.Deadline());
}

TEST(DisplayMenu, ALongFailureIsCutBetweenCharactersNeverInOne)
{
    DisplayMenu menu(WithMenu(Entries(3)), 4);
    // 258 bytes: the cut at 256 falls inside the "é", which must not show as a stray '?'.
    menu.ShowFailure(std::string(255, 'a') + "\xc3\xa9z");
    const auto rows = menu.Frame(64, DisplayMenu::Clock::now());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(Utf8OfCells(rows[3]), std::string(63, 'a') + " ");
}

} // namespace
} // namespace pixtera
