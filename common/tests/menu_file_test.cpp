// SPDX-License-Identifier: MIT
// Menu files: what is read, what is refused and where, and what the designer writes back.

#include <pixtera/menu_file.h>

#include "test_environment.h"
#include "test_fifo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

using namespace pixtera;
using pixtera::test::TestDirectory;

MenuReadResult Read(const std::string& xml, Menu& menu, const MenuDesigns& designs = {})
{
    return LoadMenuFromText(xml, menu, designs);
}

std::string Refusal(const std::string& xml, const MenuDesigns& designs = {})
{
    Menu menu;
    const MenuReadResult result = Read(xml, menu, designs);
    EXPECT_FALSE(result.ok) << xml;
    EXPECT_TRUE(menu.entries.empty()) << "a refused file leaves no menu";
    return result.problem;
}

std::string InMenu(const std::string& entries) { return "<Menu Title=\"Box\">" + entries + "</Menu>"; }

const std::string kEveryAction = R"(<Menu Title="Front panel">
	<Entry Label="Clock" Action="ShowDesign" Design="clock.pxd"/>
	<Entry Label="Next" Action="NextDesign"/>
	<Entry Label="Previous" Action="PreviousDesign"/>
	<Submenu Label="Light">
		<Entry Label="On" Action="BacklightOn"/>
		<Entry Label="Off" Action="BacklightOff"/>
		<Entry Label="Toggle" Action="BacklightToggle"/>
		<Entry Label="Brighter" Action="BrightnessUp"/>
		<Entry Label="Darker" Action="BrightnessDown"/>
	</Submenu>
	<Entry Label="Mode: quiet" Action="SetData" Item="Mode" Value="quiet"/>
	<Submenu Label="System">
		<Entry Label="Uptime" Action="RunCommand" Program="/usr/bin/uptime" Confirm="yes">
			<Argument Value="-p"/>
			<Argument Value="two words; rm -rf ~"/>
		</Entry>
		<Submenu Label="Power">
			<Entry Label="Lock" Action="Lock"/>
			<Entry Label="Sleep" Action="Suspend"/>
			<Entry Label="Off" Action="PowerOff" Confirm="yes"/>
			<Entry Label="Reboot" Action="Reboot" Confirm="no"/>
		</Submenu>
		<Submenu Label="Empty"/>
	</Submenu>
	<Entry Label="Doorbell" Action="PublishEvent" Event="door_bell"/>
</Menu>
)";

TEST(MenuReader, ReadsEveryActionAndTheTree)
{
    Menu menu;
    const MenuReadResult result = Read(kEveryAction, menu, {true, {"/home/u/designs/clock.pxd", "cpu.pxd"}});
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(menu.title, "Front panel");
    ASSERT_EQ(menu.entries.size(), 7u);
    EXPECT_EQ(menu.entries[0].action.kind, MenuActionKind::ShowDesign);
    EXPECT_EQ(menu.entries[0].action.design, "clock.pxd");
    EXPECT_EQ(menu.entries[2].action.kind, MenuActionKind::PreviousDesign);

    const MenuEntry& light = menu.entries[3];
    ASSERT_TRUE(light.submenu);
    ASSERT_EQ(light.entries.size(), 5u);
    EXPECT_EQ(light.entries[2].action.kind, MenuActionKind::BacklightToggle);
    EXPECT_EQ(light.entries[4].action.kind, MenuActionKind::BrightnessDown);

    EXPECT_EQ(menu.entries[4].action.kind, MenuActionKind::SetData);
    EXPECT_EQ(menu.entries[4].action.item, "Mode");
    EXPECT_EQ(menu.entries[4].action.value, "quiet");

    const MenuEntry& system = menu.entries[5];
    ASSERT_EQ(system.entries.size(), 3u);
    const MenuAction& uptime = system.entries[0].action;
    EXPECT_EQ(uptime.kind, MenuActionKind::RunCommand);
    EXPECT_TRUE(uptime.confirm);
    // Arguments stay whole, whatever a shell would make of them.
    EXPECT_EQ(uptime.command, (std::vector<std::string>{"/usr/bin/uptime", "-p", "two words; rm -rf ~"}));
    const MenuEntry& power = system.entries[1];
    ASSERT_EQ(power.entries.size(), 4u);
    EXPECT_EQ(power.entries[1].action.kind, MenuActionKind::Suspend);
    EXPECT_TRUE(power.entries[2].action.confirm);
    EXPECT_EQ(power.entries[2].action.kind, MenuActionKind::PowerOff);
    EXPECT_FALSE(power.entries[3].action.confirm);
    EXPECT_TRUE(system.entries[2].submenu);
    EXPECT_TRUE(system.entries[2].entries.empty());

    EXPECT_EQ(menu.entries[6].action.kind, MenuActionKind::PublishEvent);
    EXPECT_EQ(menu.entries[6].action.event, "door_bell");
}

TEST(MenuReader, RefusesMalformedFilesWithTheirPlace)
{
    EXPECT_EQ(Refusal("<Menu><Entry Label=\"a\" Action=\"NextDesign\">"), "line 1: not XML: Start-end tags mismatch");
    EXPECT_EQ(Refusal("<Design/>"), "line 1: the root element is not Menu");
    EXPECT_EQ(Refusal(""), "line 1: not XML: No document element found");
    EXPECT_EQ(Refusal("<Menu/><Menu/>"), "line 1: a second root element");
    EXPECT_EQ(Refusal(InMenu("\n<Submenu Label=\"System\">\n<Entry Label=\"Reboot\" Action=\"Rebot\"/></Submenu>")),
              "line 3, System > Reboot: unknown action \"Rebot\"");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\"/>")), "line 1, x: no Action");
    EXPECT_EQ(Refusal(InMenu("<Entry Action=\"Lock\"/>")), "line 1, (no label): no Label");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"\" Action=\"Lock\"/>")), "line 1, (no label): the label is empty");
    EXPECT_EQ(Refusal(InMenu("<Entrry Label=\"x\" Action=\"Lock\"/>")), "line 1, x: unknown element Entrry");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"Lock\" Program=\"/bin/sh\"/>")),
              "line 1, x: unknown attribute Program");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"Lock\" Confirm=\"true\"/>")),
              "line 1, x: Confirm is neither yes nor no");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"Lock\"><Argument Value=\"a\"/></Entry>")),
              "line 1, x: unknown element Argument");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"RunCommand\" Program=\"ls\"><Argument/></Entry>")),
              "line 1, x: an Argument without a Value");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"RunCommand\"/>")), "line 1, x: no Program");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"RunCommand\" Program=\"\"/>")),
              "line 1, x: the program is empty");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"SetData\" Item=\"Mode\"/>")), "line 1, x: no Value");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"PublishEvent\" Event=\"a/#\"/>")),
              "line 1, x: the event \"a/#\" holds other than letters, digits, '_', '-', '.'");
    EXPECT_EQ(
        Refusal(InMenu("<Entry Label=\"x\" Action=\"RunCommand\" Program=\"ls\"><Argument Value=\"\xff\"/></Entry>")),
        "line 1, x: argument 1 is not UTF-8");
    EXPECT_EQ(Refusal("<Menu Colour=\"red\"/>"), "line 1: unknown attribute Colour");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"" + std::string(81, 'x') + "\" Action=\"Lock\"/>")),
              "line 1, " + std::string(80, 'x') + ": the label is longer than 80 bytes");
}

// A refusal is logged and shown in a dialog: what it quotes of the file stays on its one line
// and is UTF-8, so a file cannot forge a log line or a terminal's escape sequence.
TEST(MenuReader, RefusalsQuoteTheFilePrintably)
{
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"two&#10;lines\" Action=\"Lock\"/>")),
              "line 1, two?lines: the label holds a control character");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"&#27;[2Jx\" Action=\"Lock\"/>")),
              "line 1, ?[2Jx: the label holds a control character");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"a\xff"
                             "b\" Action=\"Lock\"/>")),
              "line 1, a?b: the label is not UTF-8");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"Lock&#10;pixtera2: forged\"/>")),
              "line 1, x: unknown action \"Lock?pixtera2: forged\"");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"Lock\" \xfe\xff=\"1\"/>")),
              "line 1, x: unknown attribute ??");
    EXPECT_EQ(Refusal(InMenu("<Submenu Label=\"S&#13;\"><Entry Label=\"x\" Action=\"Nope\"/></Submenu>")),
              "line 1, S?: the label holds a control character");

    MenuAction lock;
    lock.kind = MenuActionKind::Lock;
    Menu edited{"Top", {{"one\ntwo", false, {}, lock}}};
    EXPECT_EQ(MenuProblem(edited), "one?two: the label holds a control character");
}

// DEL and the C1 controls (U+0080 to U+009F: NEL breaks a line) are control characters as much
// as those below a blank; U+00A0 and beyond are text.
TEST(MenuReader, RefusesEveryControlCharacter)
{
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"a\x7f\" Action=\"Lock\"/>")),
              "line 1, a?: the label holds a control character");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"SetData\" Item=\"Mode\" Value=\"a\xc2\x85z\"/>")),
              "line 1, x: the value holds a control character");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"RunCommand\" Program=\"ls\">"
                             "<Argument Value=\"\xc2\x9f\"/></Entry>")),
              "line 1, x: argument 1 holds a control character");
    Menu menu;
    const MenuReadResult text = Read(InMenu("<Entry Label=\"\xc2\xa0\xc2\xbfQu\xc3\xa9?\" Action=\"Lock\"/>"), menu);
    ASSERT_TRUE(text.ok) << text.problem;
    EXPECT_EQ(menu.entries.front().label, "\xc2\xa0\xc2\xbfQu\xc3\xa9?");
}

TEST(MenuReader, ChecksDesignsAgainstTheQueue)
{
    const std::string clock = InMenu("<Entry Label=\"Clock\" Action=\"ShowDesign\" Design=\"clock.pxd\"/>");
    Menu menu;
    EXPECT_TRUE(Read(clock, menu).ok) << "no queue known: any file name";
    EXPECT_TRUE(Read(clock, menu, {true, {"designs/clock.pxd"}}).ok);
    EXPECT_EQ(Refusal(clock, {true, {"cpu.pxd", "clock.pxd.old"}}),
              "line 1, Clock: the design \"clock.pxd\" is not in the display's queue");
    EXPECT_EQ(Refusal(clock, {true, {}}), "line 1, Clock: the design \"clock.pxd\" is not in the display's queue");
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"C\" Action=\"ShowDesign\" Design=\"../clock.pxd\"/>")),
              "line 1, C: the design \"../clock.pxd\" is not a file name");
}

std::string Nested(std::size_t depth)
{
    std::string xml = "<Menu>";
    for (std::size_t i = 0; i < depth; ++i)
        xml += "<Submenu Label=\"L" + std::to_string(i + 1) + "\">";
    xml += "<Entry Label=\"leaf\" Action=\"Lock\"/>";
    for (std::size_t i = 0; i < depth; ++i)
        xml += "</Submenu>";
    return xml + "</Menu>";
}

TEST(MenuReader, BoundsDepthEntriesAndSize)
{
    Menu menu;
    // Seven submenus: the leaf is on the eighth level, the deepest there is.
    ASSERT_TRUE(Read(Nested(kMaxMenuDepth - 1), menu).ok);
    const MenuEntry* deepest = &menu.entries.front();
    for (std::size_t level = 1; level < kMaxMenuDepth - 1; ++level)
        deepest = &deepest->entries.front();
    ASSERT_EQ(deepest->entries.size(), 1u);
    EXPECT_EQ(deepest->entries.front().label, "leaf");

    EXPECT_EQ(Refusal(Nested(kMaxMenuDepth)),
              "line 1, L1 > L2 > L3 > L4 > L5 > L6 > L7 > L8: submenus nest deeper than 8 levels");
    EXPECT_NE(Refusal(Nested(10000)).find("submenus nest deeper than 8 levels"), std::string::npos);

    std::string many;
    for (std::size_t i = 0; i < kMaxMenuEntries; ++i)
        many += "<Entry Label=\"e\" Action=\"Lock\"/>";
    EXPECT_TRUE(Read(InMenu(many), menu).ok);
    EXPECT_EQ(menu.entries.size(), kMaxMenuEntries);
    EXPECT_EQ(Refusal(InMenu(many + "<Submenu Label=\"one more\"/>")), "line 1, one more: more than 256 entries");

    std::string arguments;
    for (std::size_t i = 0; i <= kMaxCommandArguments; ++i)
        arguments += "<Argument Value=\"a\"/>";
    EXPECT_EQ(Refusal(InMenu("<Entry Label=\"x\" Action=\"RunCommand\" Program=\"ls\">" + arguments + "</Entry>")),
              "line 1, x: more than 64 arguments");

    EXPECT_EQ(Refusal(InMenu(std::string(kMaxMenuFileBytes, ' '))), "larger than 1024 KiB");
}

std::filesystem::path Write(const std::string& name, const std::string& text)
{
    const auto path = TestDirectory() / name;
    std::ofstream(path) << text;
    return path;
}

TEST(MenuReader, ReadsOnlyARegularFileOfItsOwn)
{
    Menu menu;
    const auto file = Write("panel.pxm", kEveryAction);
    EXPECT_TRUE(LoadMenu(file, menu).ok);
    EXPECT_EQ(menu.entries.size(), 7u);

    const auto link = TestDirectory() / "link.pxm";
    std::filesystem::create_symlink(file, link);
    MenuReadResult result = LoadMenu(link, menu);
    EXPECT_EQ(result.problem, link.string() + ": is a symbolic link");
    EXPECT_TRUE(menu.entries.empty());

    test::TestFifo fifo("fifo.pxm");
    EXPECT_TRUE(fifo.Returns([&] { result = LoadMenu(fifo.path(), menu); }));
    EXPECT_EQ(result.problem, fifo.path().string() + ": is not a regular file");

    // Whoever may write the file chooses what its keys run.
    const auto shared = Write("shared.pxm", kEveryAction);
    std::filesystem::permissions(shared, std::filesystem::perms::others_write, std::filesystem::perm_options::add);
    EXPECT_EQ(LoadMenu(shared, menu).problem, shared.string() + ": can be written by other users (chmod go-w)");
    EXPECT_TRUE(menu.entries.empty());
    std::filesystem::permissions(shared, std::filesystem::perms::others_write, std::filesystem::perm_options::remove);
    // The user's primary group (on Debian their own) may write it; another group may not.
    std::filesystem::permissions(shared, std::filesystem::perms::group_write, std::filesystem::perm_options::add);
    ASSERT_EQ(chown(shared.c_str(), static_cast<uid_t>(-1), getegid()), 0);
    EXPECT_TRUE(LoadMenu(shared, menu).ok);
    // Root may give it any group; a user one of their others.
    gid_t other = geteuid() == 0 ? 65534 : getegid();
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    groups.resize(static_cast<std::size_t>(std::max(getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
    for (gid_t group : groups)
        if (group != getegid())
            other = group;
    if (other != getegid()) {
        ASSERT_EQ(chown(shared.c_str(), static_cast<uid_t>(-1), other), 0);
        EXPECT_EQ(LoadMenu(shared, menu).problem, shared.string() + ": can be written by other users (chmod go-w)");
    }

    const auto broken = Write("broken.pxm", "<Menu>\n\n<Entry Label=\"x\" Action=\"Nope\"/></Menu>");
    EXPECT_EQ(LoadMenu(broken, menu).problem, broken.string() + ": line 3, x: unknown action \"Nope\"");
}

TEST(MenuReader, ReadsTheExampleForTheDemoQueue)
{
    Menu menu;
    const MenuReadResult result = LoadMenu(std::filesystem::path(PIXTERA_EXAMPLES_DIR) / "front-panel.pxm", menu,
                                           {true, {"clock.pxd", "cpu-memory.pxd"}});
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(menu.title, "Front panel");
    ASSERT_EQ(menu.entries.size(), 4u);
    EXPECT_EQ(menu.entries[3].label, "System");
}

TEST(MenuWriter, WritesWhatReadsBackTheSame)
{
    Menu menu;
    ASSERT_TRUE(Read(kEveryAction, menu).ok);
    // Texts markup would mangle, and an argument that is empty.
    menu.entries[0].label = "<Ünïcode> & \"quotes\" 'too'";
    menu.entries[5].entries[0].action.command.push_back("");
    menu.entries[5].entries[0].action.command.push_back("a > b");
    menu.entries[4].action.value = "";

    const auto path = TestDirectory() / "saved.pxm";
    std::string error;
    ASSERT_TRUE(SaveMenu(menu, path, &error)) << error;
    Menu back;
    const MenuReadResult result = LoadMenu(path, back);
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(back, menu);
    // One tag a line, as the designs are written.
    EXPECT_NE(test::FileText(path).find("\n\t<Submenu Label=\"Light\">\n\t\t<Entry"), std::string::npos);
}

TEST(MenuWriter, WritesOverAFileOthersMayWriteAsOneTheReaderTakes)
{
    Menu menu;
    ASSERT_TRUE(Read(kEveryAction, menu).ok);
    const auto path = Write("open.pxm", "<Menu/>");
    std::filesystem::permissions(path, std::filesystem::perms::all);
    std::string error;
    ASSERT_TRUE(SaveMenu(menu, path, &error)) << error;
    Menu back;
    const MenuReadResult result = LoadMenu(path, back);
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(back, menu);
    const auto kept = std::filesystem::status(path).permissions();
    EXPECT_EQ(kept & std::filesystem::perms::others_write, std::filesystem::perms::none);
    EXPECT_EQ(kept & std::filesystem::perms::owner_exec, std::filesystem::perms::owner_exec) << "the rest is kept";
}

TEST(MenuWriter, RefusesWhatTheReaderWouldRefuse)
{
    Menu menu{"Top", {}};
    MenuEntry submenu{"S", true, {}, {}};
    MenuEntry* level = &submenu;
    for (std::size_t i = 1; i < kMaxMenuDepth; ++i) {
        level->entries.push_back({"S" + std::to_string(i), true, {}, {}});
        level = &level->entries.back();
    }
    menu.entries.push_back(submenu);
    const auto path = TestDirectory() / "deep.pxm";
    std::string error;
    EXPECT_FALSE(SaveMenu(menu, path, &error));
    EXPECT_EQ(error, "S > S1 > S2 > S3 > S4 > S5 > S6 > S7: submenus nest deeper than 8 levels");
    EXPECT_FALSE(std::filesystem::exists(path));

    MenuAction run;
    run.kind = MenuActionKind::RunCommand;
    Menu command{"Top", {{"Run", false, {}, run}}};
    EXPECT_EQ(MenuProblem(command), "Run: the program is missing");
    MenuAction gone;
    gone.kind = MenuActionKind::ShowDesign;
    gone.design = "gone.pxd";
    Menu show{"Top", {{"Show", false, {}, gone}}};
    EXPECT_EQ(MenuProblem(show), "");
    EXPECT_EQ(MenuProblem(show, {true, {"here.pxd"}}), "Show: the design \"gone.pxd\" is not in the display's queue");
    Menu untitled{"", {}};
    EXPECT_EQ(MenuProblem(untitled), "the title is empty");
}

TEST(MenuActionNames, NameEveryActionBothWays)
{
    for (int kind = 0; kind <= static_cast<int>(MenuActionKind::PublishEvent); ++kind) {
        const auto name = MenuActionName(static_cast<MenuActionKind>(kind));
        ASSERT_FALSE(name.empty()) << kind;
        MenuActionKind back = MenuActionKind::NextDesign;
        ASSERT_TRUE(MenuActionFromName(name, back)) << name;
        EXPECT_EQ(static_cast<int>(back), kind);
    }
    MenuActionKind kind;
    EXPECT_FALSE(MenuActionFromName("reboot", kind)) << "names are case-sensitive, as in the designs";
}

} // namespace
