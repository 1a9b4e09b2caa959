// SPDX-License-Identifier: MIT
// Walking a menu with keys: moving, opening, going back, the question before an action, held
// keys, and closing when left alone.

#include <pixtera/menu_navigator.h>

#include <gtest/gtest.h>

#include <ostream>

namespace pixtera {

void PrintTo(const MenuState& state, std::ostream* out)
{
    *out << "path {";
    for (std::size_t index : state.path)
        *out << ' ' << index;
    *out << " } cursor " << state.cursor << " top " << state.top << (state.confirming ? " confirming" : "");
}

} // namespace pixtera

namespace {

using namespace pixtera;
using namespace std::chrono_literals;
using Kind = MenuStep::Kind;
using Clock = MenuNavigator::Clock;

const Clock::time_point kStart{};

std::shared_ptr<const Menu> Panel()
{
    auto menu = std::make_shared<Menu>();
    const char* xml = R"(<Menu Title="Panel">
		<Entry Label="Next" Action="NextDesign"/>
		<Submenu Label="System">
			<Entry Label="Uptime" Action="RunCommand" Program="uptime" Confirm="yes"><Argument Value="-p"/></Entry>
			<Entry Label="Lock" Action="Lock"/>
			<Submenu Label="Empty"/>
		</Submenu>
		<Entry Label="Three" Action="BacklightOn"/>
		<Entry Label="Four" Action="BacklightOff"/>
		<Entry Label="Five" Action="PublishEvent" Event="five"/>
	</Menu>)";
    EXPECT_TRUE(LoadMenuFromText(xml, *menu).ok);
    return menu;
}

struct Walk {
    MenuNavigator navigator;
    Clock::time_point now = kStart;

    explicit Walk(std::size_t visible = 3, std::chrono::milliseconds idle = 30s) : navigator(Panel(), visible, idle)
    {
        navigator.Open(now);
    }
    MenuStep Press(LONG key, LONG action = kKeyPressed) { return navigator.Key(key, action, now); }
    const MenuState& state() const { return navigator.state(); }
};

TEST(MenuNavigator, OpensSubmenusAndGoesBackToWhereItWas)
{
    Walk walk;
    EXPECT_EQ(walk.Press(kKeyDown).kind, Kind::Redraw);
    EXPECT_EQ(walk.Press(kKeyEnter).kind, Kind::Redraw);
    EXPECT_EQ(walk.state(), (MenuState{{1}, 0, 0, false}));
    EXPECT_EQ(MenuLevelTitle(walk.navigator.menu(), walk.state()), "System");
    EXPECT_EQ(MenuLevel(walk.navigator.menu(), walk.state()).size(), 3u);

    walk.Press(kKeyUp); // wraps to the last entry, the empty submenu
    EXPECT_EQ(walk.Press(kKeyRight).kind, Kind::Redraw) << "Right opens a submenu too";
    EXPECT_EQ(walk.state().path, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(walk.Press(kKeyDown).kind, Kind::Nothing) << "nothing to move to in an empty level";
    EXPECT_EQ(walk.Press(kKeyEnter).kind, Kind::Nothing);

    EXPECT_EQ(walk.Press(kKeyLeft).kind, Kind::Redraw);
    EXPECT_EQ(walk.state(), (MenuState{{1}, 2, 0, false})) << "back on the submenu left";
    EXPECT_EQ(walk.Press(kKeyEscape).kind, Kind::Redraw);
    EXPECT_EQ(walk.state(), (MenuState{{}, 1, 0, false}));
    EXPECT_EQ(walk.Press(kKeyEscape).kind, Kind::Leave);
    EXPECT_FALSE(walk.navigator.IsOpen());
    EXPECT_EQ(walk.Press(kKeyEnter).kind, Kind::Nothing) << "a closed menu takes no keys";
}

TEST(MenuNavigator, PerformsAnActionOnlyAfterItsQuestionIsAnswered)
{
    Walk walk;
    const MenuStep next = walk.Press(kKeyEnter);
    EXPECT_EQ(next.kind, Kind::Perform) << "no question asked for an action without one";
    EXPECT_EQ(next.action.kind, MenuActionKind::NextDesign);
    EXPECT_TRUE(walk.navigator.IsOpen());

    walk.Press(kKeyDown);
    walk.Press(kKeyEnter);
    EXPECT_EQ(walk.Press(kKeyRight).kind, Kind::Nothing) << "Right never performs";
    EXPECT_EQ(walk.Press(kKeyEnter).kind, Kind::Confirm);
    EXPECT_TRUE(walk.state().confirming);
    EXPECT_EQ(walk.Press(kKeyEnter, kKeyRepeated).kind, Kind::Nothing) << "a held Enter is no answer";
    EXPECT_EQ(walk.Press(kKeyDown).kind, Kind::Nothing) << "the question stays until answered";
    EXPECT_EQ(walk.Press(kKeyRight).kind, Kind::Nothing);
    EXPECT_EQ(walk.Press(kKeyEscape).kind, Kind::Redraw);
    EXPECT_EQ(walk.state(), (MenuState{{1}, 0, 0, false})) << "Escape answers no and stays in the submenu";

    EXPECT_EQ(walk.Press(kKeyEnter).kind, Kind::Confirm);
    const MenuStep run = walk.Press(kKeyEnter);
    ASSERT_EQ(run.kind, Kind::Perform);
    EXPECT_EQ(run.label, "Uptime");
    EXPECT_EQ(run.action.command, (std::vector<std::string>{"uptime", "-p"}));
    EXPECT_FALSE(walk.state().confirming);
    EXPECT_EQ(walk.Press(kKeyEnter).kind, Kind::Confirm) << "asked again the next time";
}

TEST(MenuNavigator, RepeatsOnlyUpAndDownAndIgnoresReleasesAndOtherKeys)
{
    Walk walk;
    EXPECT_EQ(walk.Press(kKeyDown, kKeyRepeated).kind, Kind::Redraw);
    EXPECT_EQ(walk.state().cursor, 1u);
    EXPECT_EQ(walk.Press(kKeyEnter, kKeyRepeated).kind, Kind::Nothing) << "a held Enter opens nothing";
    EXPECT_EQ(walk.Press(kKeyEnter, kKeyReleased).kind, Kind::Nothing);
    EXPECT_EQ(walk.Press(kKeyEscape, kKeyRepeated).kind, Kind::Nothing) << "nor does a held Escape leave";
    EXPECT_EQ(walk.Press(kKeyF1).kind, Kind::Nothing);
    EXPECT_EQ(walk.Press(kKeyRaw | 0x41).kind, Kind::Nothing);
    EXPECT_EQ(walk.state(), (MenuState{{}, 1, 0, false}));
    EXPECT_TRUE(walk.navigator.IsOpen());
}

TEST(MenuNavigator, ScrollsSoThatTheCursorIsAlwaysShown)
{
    Walk three(3);
    for (std::size_t expectedTop : {0u, 0u, 1u, 2u}) {
        three.Press(kKeyDown);
        EXPECT_EQ(three.state().top, expectedTop) << "cursor " << three.state().cursor;
    }
    three.Press(kKeyUp); // cursor 3, still shown
    EXPECT_EQ(three.state().top, 2u);
    three.Press(kKeyUp);
    three.Press(kKeyUp); // cursor 1, above the window
    EXPECT_EQ(three.state().top, 1u);
    three.Press(kKeyUp);
    three.Press(kKeyUp); // wraps from the first to the last
    EXPECT_EQ(three.state().cursor, 4u);
    EXPECT_EQ(three.state().top, 2u);
    three.Press(kKeyDown); // and back to the first
    EXPECT_EQ(three.state(), (MenuState{{}, 0, 0, false}));

    Walk one(1);
    for (std::size_t i = 1; i <= 4; ++i) {
        one.Press(kKeyDown);
        EXPECT_EQ(one.state().top, i);
    }
    Walk none(0); // a one-row display: no row beside the title; still one entry shown
    none.Press(kKeyDown);
    EXPECT_EQ(none.state().top, 1u);
}

TEST(MenuNavigator, ClosesWhenLeftAloneForTheIdleTime)
{
    Walk walk(3, 10s);
    EXPECT_EQ(walk.navigator.Deadline(), kStart + 10s);
    EXPECT_EQ(walk.navigator.Tick(kStart + 9s).kind, Kind::Nothing);
    walk.now = kStart + 9s;
    walk.Press(kKeyDown);
    EXPECT_EQ(walk.navigator.Tick(kStart + 18s).kind, Kind::Nothing) << "a key starts the idle time again";
    EXPECT_EQ(walk.navigator.Tick(kStart + 19s).kind, Kind::Leave);
    EXPECT_FALSE(walk.navigator.IsOpen());
    EXPECT_EQ(walk.navigator.Deadline(), std::nullopt);
    EXPECT_EQ(walk.navigator.Tick(kStart + 100s).kind, Kind::Nothing) << "it leaves once";

    walk.navigator.Open(kStart + 200s);
    EXPECT_EQ(walk.state(), MenuState{}) << "it opens at the top again";
    walk.now = kStart + 205s;
    walk.Press(kKeyDown, kKeyReleased);
    EXPECT_EQ(walk.navigator.Tick(kStart + 210s).kind, Kind::Leave) << "a release is no activity";

    Walk forever(3, 0s);
    EXPECT_EQ(forever.navigator.Deadline(), std::nullopt);
    EXPECT_EQ(forever.navigator.Tick(kStart + 1000h).kind, Kind::Nothing);
}

TEST(MenuNavigator, AnEmptyMenuOnlyLeaves)
{
    MenuNavigator navigator(std::make_shared<const Menu>(Menu{"Empty", {}}), 3, 1s);
    navigator.Open(kStart);
    for (LONG key : {kKeyUp, kKeyDown, kKeyEnter, kKeyRight})
        EXPECT_EQ(navigator.Key(key, kKeyPressed, kStart).kind, Kind::Nothing) << key;
    EXPECT_EQ(navigator.Key(kKeyLeft, kKeyPressed, kStart).kind, Kind::Leave);

    MenuNavigator none(nullptr, 3, 1s);
    none.Open(kStart);
    EXPECT_EQ(none.Key(kKeyEnter, kKeyPressed, kStart).kind, Kind::Nothing);
    EXPECT_TRUE(none.menu().entries.empty());
}

} // namespace
