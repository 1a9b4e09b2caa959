// SPDX-License-Identifier: MIT
// A menu drawn on the sizes of display people have: 16x2, 20x4, 40x2, and one row.

#include <pixtera/menu_renderer.h>
#include <pixtera/virtual_display.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using Frame = std::vector<std::u32string>;

Menu Panel()
{
    Menu menu;
    const char* xml = R"(<Menu Title="Panel">
		<Entry Label="Next" Action="NextDesign"/>
		<Submenu Label="System">
			<Entry Label="Uptime" Action="RunCommand" Program="uptime" Confirm="yes"/>
			<Entry Label="Reboot" Action="Reboot" Confirm="yes"/>
			<Submenu Label="Empty"/>
		</Submenu>
		<Entry Label="Three" Action="BacklightOn"/>
		<Entry Label="Four" Action="BacklightOff"/>
		<Entry Label="Five" Action="PublishEvent" Event="five"/>
	</Menu>)";
    EXPECT_TRUE(LoadMenuFromText(xml, menu).ok);
    return menu;
}

// Rows written in UTF-8 without their trailing blanks, padded here to the width.
Frame Rows(std::size_t columns, std::initializer_list<std::string> rows)
{
    Frame frame;
    for (const auto& row : rows) {
        frame.push_back(CellsOfUtf8(row));
        frame.back().resize(columns, U' ');
    }
    return frame;
}

TEST(MenuRenderer, DrawsA16x2Display)
{
    const Menu menu = Panel();
    EXPECT_EQ(RenderMenu(menu, {}, 16, 2), Rows(16, {"Panel        1/5", ">Next"}));
    // A state kept for a taller display still shows its cursor here.
    EXPECT_EQ(RenderMenu(menu, {{}, 3, 0, false}, 16, 2), Rows(16, {"Panel        4/5", ">Four"}));
    EXPECT_EQ(RenderMenu(menu, {{1}, 0, 0, true}, 16, 2), Rows(16, {"Run Uptime?", "Enter=yes Esc=no"}));
    EXPECT_EQ(RenderMenu(menu, {{1}, 1, 0, true}, 16, 2), Rows(16, {"Reboot?", "Enter=yes Esc=no"}));
    EXPECT_EQ(RenderMenu(menu, {{1, 2}, 0, 0, false}, 16, 2), Rows(16, {"Empty", " (empty)"}));
}

TEST(MenuRenderer, DrawsA20x4DisplayScrolled)
{
    const Menu menu = Panel();
    EXPECT_EQ(RenderMenu(menu, {{}, 1, 0, false}, 20, 4),
              Rows(20, {"Panel            2/5", " Next", ">System", " Three"}));
    EXPECT_EQ(RenderMenu(menu, {{}, 4, 2, false}, 20, 4),
              Rows(20, {"Panel            5/5", " Three", " Four", ">Five"}));
    EXPECT_EQ(RenderMenu(menu, {{}, 2, 2, false}, 20, 4),
              Rows(20, {"Panel            3/5", ">Three", " Four", " Five"}))
        << "the state's first entry kept while the cursor is shown";
    EXPECT_EQ(RenderMenu(menu, {{1}, 1, 0, false}, 20, 4), Rows(20, {"System", " Uptime", ">Reboot", " Empty"}))
        << "no place shown when every entry fits";
    EXPECT_EQ(RenderMenu(menu, {{1}, 0, 0, true}, 20, 4), Rows(20, {"Run Uptime?", "Enter=yes Esc=no", "", ""}));
}

TEST(MenuRenderer, DrawsA40x2Display)
{
    const Menu menu = Panel();
    EXPECT_EQ(RenderMenu(menu, {{}, 2, 0, false}, 40, 2), Rows(40, {"Panel" + std::string(32, ' ') + "3/5", ">Three"}));
    EXPECT_EQ(RenderMenu(menu, {{1}, 1, 0, true}, 40, 2), Rows(40, {"Reboot?", "Enter=yes Esc=no"}));
}

TEST(MenuRenderer, CutsTextsToTheWidthInAnyLanguage)
{
    Menu menu;
    ASSERT_TRUE(LoadMenuFromText(R"(<Menu Title="Settings and more things">
		<Entry Label="A very long label that does not fit" Action="Lock"/>
		<Entry Label="Küche €" Action="Lock"/>
		<Entry Label="Run a command with a long name" Action="RunCommand" Program="true" Confirm="yes"/>
	</Menu>)",
                                 menu)
                    .ok);
    EXPECT_EQ(RenderMenu(menu, {}, 16, 2), Rows(16, {"Settings and 1/3", ">A very long lab"}));
    // A cell a character, whatever its bytes: the module's character set is the writer's to meet.
    EXPECT_EQ(RenderMenu(menu, {{}, 1, 0, false}, 16, 2), Rows(16, {"Settings and 2/3", ">Küche €"}));
    EXPECT_EQ(RenderMenu(menu, {{}, 2, 0, true}, 16, 2), Rows(16, {"Run Run a comman", "Enter=yes Esc=no"}));
    EXPECT_EQ(RenderMenu(menu, {{}, 2, 0, true}, 8, 2), Rows(8, {"Run Run ", "Enter=ye"}));
    // Too narrow for the place: the title alone.
    EXPECT_EQ(RenderMenu(menu, {}, 4, 2), Rows(4, {"Sett", ">A v"}));

    Menu designed{"Tab\there", {{"line\nbreak", false, {}, {}}}}; // as a designer might hand it over
    EXPECT_EQ(RenderMenu(designed, {}, 12, 2), Rows(12, {"Tab here", ">line break"}));
    Menu russian{"Меню настроек дисплея", {{"Яркость\u0085\x7F", false, {}, {}}}};
    EXPECT_EQ(RenderMenu(russian, {}, 16, 2), Rows(16, {"Меню настроек ди", ">Яркость"}))
        << "Cyrillic cut by letters; C1 controls and DEL are no glyphs";
}

TEST(MenuRenderer, DrawsOneRowAndOddStates)
{
    const Menu menu = Panel();
    EXPECT_EQ(RenderMenu(menu, {{}, 1, 0, false}, 16, 1), Rows(16, {">System"})) << "no title on one row";
    EXPECT_EQ(RenderMenu(menu, {{1}, 0, 0, true}, 16, 1), Rows(16, {"Run Uptime?"}));
    EXPECT_TRUE(RenderMenu(menu, {}, 16, 0).empty());
    EXPECT_EQ(RenderMenu(menu, {}, 0, 2), Frame(2, U""));
    // A state from before the menu file changed: a path no longer there shows the top level, a
    // cursor past the end the last entry.
    EXPECT_EQ(RenderMenu(menu, {{7, 1}, 9, 9, false}, 16, 2), Rows(16, {"Panel        5/5", ">Five"}));
    EXPECT_EQ(RenderMenu(menu, {{}, 1, 0, true}, 16, 2), Rows(16, {"Panel        2/5", ">System"}))
        << "a submenu asks no question";
}

} // namespace
