// SPDX-License-Identifier: MIT
// The replies are LCDd 0.5.9's own, as it answers the same lines.
#include "client_session.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcdproc;

std::string Replies(ClientSession& session, std::string_view line)
{
    std::string joined;
    for (const auto& reply : session.Execute(line).replies)
        joined += (joined.empty() ? "" : "|") + reply;
    return joined;
}

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Replies(session, "hello"), "connect LCDproc 0.5.9 protocol 0.3 lcd wid 16 hgt 2 cellwid 5 cellhgt 8");
        ASSERT_EQ(Replies(session, "screen_add s"), "success");
    }
    ClientSession session{Geometry{16, 2, 5, 8}, false, SessionLimits{4, 9, 12, 32, 4, 4}};
};

TEST(SessionGreeting, OnlyHelloCountsBeforeTheGreeting)
{
    ClientSession session(Geometry{20, 4, 5, 8}, false);
    EXPECT_EQ(Replies(session, "screen_add a"), "huh? Function returned error \"screen_add\"");
    EXPECT_TRUE(session.screens().empty());
    EXPECT_EQ(Replies(session, "hello there"),
              "huh? extra parameters ignored|connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 4 cellwid 5 cellhgt 8");
    EXPECT_EQ(Replies(session, "screen_add a"), "success");
}

TEST_F(Session, GeneralCommands)
{
    EXPECT_EQ(Replies(session, "noop"), "noop complete");
    EXPECT_EQ(Replies(session, "info"), "Pixtera display");
    EXPECT_EQ(Replies(session, ""), "");
    EXPECT_EQ(Replies(session, "  "), "huh? Invalid command \"(null)\"");
    EXPECT_EQ(Replies(session, "foo bar"), "huh? Invalid command \"foo\"");
    EXPECT_EQ(Replies(session, "widget_set s w 1 1 \"open"), "huh? Could not parse command");
    EXPECT_EQ(Replies(session, "backlight on"), "success");
    EXPECT_EQ(Replies(session, "backlight"), "huh? Usage: backlight {on|off|toggle|blink|flash}");
    EXPECT_EQ(Replies(session, "output 3"), "success");
    EXPECT_EQ(Replies(session, "output off"), "success");
    EXPECT_EQ(Replies(session, "output x"), "huh? invalid parameter...");
    EXPECT_EQ(Replies(session, "output"), "huh? Usage: output {on|off|<num>}");
    EXPECT_EQ(Replies(session, "sleep 2"), "sleeping 2 seconds|huh? ignored (not fully implemented)");
    EXPECT_EQ(Replies(session, "sleep x"), "huh? invalid parameter...");
    EXPECT_EQ(Replies(session, "sleep"), "huh? Usage: sleep <secs>");
    EXPECT_TRUE(session.Execute("bye").close);
}

TEST_F(Session, ClientSet)
{
    EXPECT_EQ(Replies(session, "client_set -name \"My client\""), "success");
    EXPECT_EQ(session.name(), "My client");
    EXPECT_EQ(Replies(session, "client_set"), "huh? Usage: client_set -name <name>");
    EXPECT_EQ(Replies(session, "client_set -name"), "huh? Usage: client_set -name <name>");
    EXPECT_EQ(Replies(session, "client_set -foo x"), "huh? invalid parameter (foo)|huh? invalid parameter (x)");
}

TEST_F(Session, ScreensAreAddedSetAndDeleted)
{
    EXPECT_EQ(Replies(session, "screen_add s"), "huh? Screen already exists");
    EXPECT_EQ(Replies(session, "screen_add"), "huh? Usage: screen_add <screenid>");
    EXPECT_EQ(Replies(session, "screen_add a b"), "huh? Usage: screen_add <screenid>");
    EXPECT_EQ(Replies(session, "screen_set s -name Load -wid 10 -hgt 3 -priority foreground -duration 16 -timeout 40 "
                               "-heartbeat off -backlight blink -cursor under -cursor_x 4 -cursor_y 2"),
              "success|success|success|success|success|success|success|success|success|success|success");
    const Screen& screen = session.screens().front();
    EXPECT_EQ(screen.name, "Load");
    EXPECT_EQ(screen.width, 10);
    EXPECT_EQ(screen.height, 3);
    EXPECT_EQ(screen.priority, Priority::Foreground);
    EXPECT_EQ(screen.duration, 16);
    EXPECT_EQ(screen.timeout, 40);
    EXPECT_EQ(screen.heartbeat, Heartbeat::Off);
    EXPECT_EQ(screen.backlight, "blink");
    EXPECT_EQ(screen.cursor, Cursor::Under);
    EXPECT_EQ(screen.cursorX, 4);
    EXPECT_EQ(screen.cursorY, 2);

    EXPECT_EQ(Replies(session, "screen_set s -priority 5"), "success");
    EXPECT_EQ(session.screens().front().priority, Priority::Foreground);
    EXPECT_EQ(Replies(session, "screen_set s -priority 100"), "success");
    EXPECT_EQ(session.screens().front().priority, Priority::Info);
    EXPECT_EQ(Replies(session, "screen_set s -priority 300"), "success");
    EXPECT_EQ(session.screens().front().priority, Priority::Background);
    for (const char* name : {"hidden", "info", "alert", "input"})
        EXPECT_EQ(Replies(session, std::string("screen_set s priority ") + name), "success") << name;
    EXPECT_EQ(session.screens().front().priority, Priority::Input);
    EXPECT_EQ(Replies(session, "screen_set s -priority 0"), "huh? invalid argument at -priority");
    EXPECT_EQ(Replies(session, "screen_set s -priority foo"), "huh? invalid argument at -priority");
    EXPECT_EQ(Replies(session, "screen_set s -wid"), "huh? -wid requires a parameter");
    EXPECT_EQ(Replies(session, "screen_set s -bogus 3"), "huh? invalid parameter|huh? invalid parameter");
    EXPECT_EQ(Replies(session, "screen_set s -cursor_x 11"), "huh? Cursor position outside screen") << "10 wide";
    EXPECT_EQ(Replies(session, "screen_set s -cursor_y 0"), "huh? Cursor position outside screen");
    EXPECT_EQ(Replies(session, "screen_set s"), "huh? What do you want to set?");
    EXPECT_EQ(Replies(session, "screen_set nope -name x"), "huh? Unknown screen id");
    EXPECT_EQ(Replies(session, "screen_set").rfind("huh? Usage: screen_set <id> [-name <name>]", 0), 0u);

    EXPECT_EQ(Replies(session, "screen_del nope"), "huh? Unknown screen id");
    EXPECT_EQ(Replies(session, "screen_del"), "huh? Usage: screen_del <screenid>");
    EXPECT_EQ(Replies(session, "screen_del s"), "success");
    EXPECT_TRUE(session.screens().empty());
}

TEST_F(Session, RotationChangesAreReported)
{
    EXPECT_TRUE(session.Execute("screen_add t").screensChanged);
    EXPECT_TRUE(session.Execute("screen_set t -priority alert").screensChanged);
    EXPECT_FALSE(session.Execute("screen_set t -priority alert").screensChanged);
    EXPECT_FALSE(session.Execute("screen_set t -name x").screensChanged);
    EXPECT_TRUE(session.Execute("screen_del t").screensChanged);
}

TEST_F(Session, WidgetsOfEveryType)
{
    for (const char* type : {"string", "title", "hbar", "vbar", "pbar", "icon", "scroller", "frame", "num"})
        EXPECT_EQ(Replies(session, std::string("widget_add s ") + type + " " + type), "success") << type;
    const std::pair<const char*, const char*> good[] = {
        {"string", "1 2 \"a b\""},
        {"title", "Title"},
        {"hbar", "1 2 30"},
        {"vbar", "3 2 12"},
        {"pbar", "1 2 10 500 a z"},
        {"icon", "1 1 HEART_OPEN"},
        {"scroller", "1 2 16 2 m 3 \"long text\""},
        {"frame", "1 1 16 2 16 4 v 8"},
        {"num", "4 10"},
    };
    for (const auto& [id, data] : good)
        EXPECT_EQ(Replies(session, std::string("widget_set s ") + id + " " + data), "success") << id;
    const Screen& screen = session.screens().front();
    EXPECT_EQ(screen.Find("string")->text, "a b");
    EXPECT_EQ(screen.Find("pbar")->promille, 500);
    EXPECT_EQ(screen.Find("pbar")->endText, "z");
    EXPECT_EQ(screen.Find("icon")->icon, Icon::HeartOpen);
    EXPECT_EQ(screen.Find("scroller")->direction, 'm');
    EXPECT_EQ(screen.Find("scroller")->speed, 3);
    EXPECT_EQ(screen.Find("frame")->height, 4);
    EXPECT_EQ(screen.Find("num")->length, 10);

    const std::pair<const char*, const char*> bad[] = {
        {"string 1 2", "huh? Wrong number of arguments"},
        {"string x 1 hi", "huh? Invalid coordinates"},
        {"string -5 2 z", "huh? Invalid coordinates"},
        {"title a b", "huh? Wrong number of arguments"},
        {"hbar 1 2", "huh? Wrong number of arguments"},
        {"pbar 1 2 10", "huh? Wrong number of arguments"},
        {"icon 1 1 NOTANICON", "huh? Invalid icon name"},
        {"scroller 1 3 20 3 x 2 t", "huh? Invalid direction"},
        {"scroller 1 3 20 3 h", "huh? Wrong number of arguments"},
        {"frame 1 2 10 3 10 5 x 8", "huh? Invalid direction"},
        {"frame 1 2 10 3 10 5 v", "huh? Wrong number of arguments"},
        {"num 1", "huh? Wrong number of arguments"},
        {"num 1 11", "huh? Invalid number"},
        {"nope 1 1 x", "huh? Unknown widget id"},
    };
    for (const auto& [data, reply] : bad)
        EXPECT_EQ(Replies(session, std::string("widget_set s ") + data), reply) << data;
    EXPECT_EQ(Replies(session, "widget_set zz w 1 1 x"), "huh? Unknown screen id");
    EXPECT_EQ(Replies(session, "widget_set s w"),
              "huh? Usage: widget_set <screenid> <widgetid> <widget-SPECIFIC-data>");
}

TEST_F(Session, ALineSeesNoneOfTheArgumentsOfTheOneBefore)
{
    ASSERT_EQ(Replies(session, "widget_add s w string"), "success");
    EXPECT_EQ(Replies(session, "widget_set s w 1 1 \"some text that is not short\""), "success");
    EXPECT_EQ(Replies(session, "widget_set s w 1 1"), "huh? Wrong number of arguments");
    EXPECT_EQ(Replies(session, "widget_set s w 2 2 {}"), "success");
    EXPECT_EQ(session.screens()[0].Find("w")->text, "");
    EXPECT_EQ(Replies(session, "noop"), "noop complete");
    EXPECT_EQ(Replies(session, "screen_set s"), "huh? What do you want to set?");
}

TEST_F(Session, WidgetsInFramesAndDeletion)
{
    EXPECT_EQ(Replies(session, "widget_add s w"),
              "huh? Usage: widget_add <screenid> <widgetid> <widgettype> [-in <id>]");
    EXPECT_EQ(Replies(session, "widget_add zz w string"), "huh? Invalid screen id");
    EXPECT_EQ(Replies(session, "widget_add s w foo"), "huh? Invalid widget type");
    EXPECT_EQ(Replies(session, "widget_add s f frame"), "success");
    EXPECT_EQ(Replies(session, "widget_add s plain string"), "success");
    EXPECT_EQ(Replies(session, "widget_add s inner string -in f"), "success");
    EXPECT_EQ(session.screens().front().Find("inner")->frame, "f");
    EXPECT_EQ(Replies(session, "widget_add s w2 string -in nofr"), "huh? Error finding frame");
    EXPECT_EQ(Replies(session, "widget_add s w3 string -in plain"), "huh? Error finding frame");
    EXPECT_EQ(Replies(session, "widget_add s plain string"), "success") << "as LCDd: a second add is accepted";
    EXPECT_EQ(session.screens().front().widgets.size(), 3u);

    EXPECT_EQ(Replies(session, "widget_del s"), "huh? Usage: widget_del <screenid> <widgetid>");
    EXPECT_EQ(Replies(session, "widget_del zz f"), "huh? Invalid screen id");
    EXPECT_EQ(Replies(session, "widget_del s nope"), "huh? Invalid widget id");
    EXPECT_EQ(Replies(session, "widget_del s f"), "success");
    ASSERT_EQ(session.screens().front().widgets.size(), 1u) << "a frame takes its contents along";
    EXPECT_EQ(session.screens().front().widgets.front().id, "plain");
}

TEST_F(Session, NestedFramesAndMenusGoWithWhatHoldsThem)
{
    for (const char* line : {"widget_add s outer frame", "widget_add s middle frame -in outer",
                             "widget_add s inner frame -in middle", "widget_add s deep string -in inner"})
        ASSERT_EQ(Replies(session, line), "success") << line;
    EXPECT_EQ(Replies(session, "widget_del s outer"), "success");
    EXPECT_TRUE(session.screens().front().widgets.empty()) << "frames in frames, and theirs, go too";
    // Nothing left behind can be taken into a frame of the same name, or into itself.
    EXPECT_EQ(Replies(session, "widget_add s inner frame"), "success");
    EXPECT_EQ(Replies(session, "widget_add s middle frame -in inner"), "success");
    EXPECT_EQ(session.screens().front().widgets.size(), 2u);

    for (const char* line :
         {"menu_add_item \"\" top menu", "menu_add_item top sub menu", "menu_add_item sub leaf action"})
        ASSERT_EQ(Replies(session, line), "success") << line;
    EXPECT_EQ(Replies(session, "menu_del_item \"\" top"), "success");
    EXPECT_TRUE(session.menu().empty()) << "menus in menus, and their items, go too";
    EXPECT_EQ(Replies(session, "menu_add_item \"\" leaf action"), "success") << "its id is free again";
}

TEST_F(Session, KeysAndMenus)
{
    EXPECT_EQ(Replies(session, "client_add_key A -shared Up"), "success");
    EXPECT_EQ(Replies(session, "client_add_key -foo B"), "huh? Invalid option: -foo|success");
    EXPECT_EQ(Replies(session, "client_add_key"), "huh? Usage: client_add_key [-exclusively|-shared] {<key>}+");
    EXPECT_EQ(Replies(session, "client_add_key -exclusively Down"), "success");
    EXPECT_EQ(session.keys(), (std::map<std::string, bool>{{"A", false}, {"B", false}, {"Down", true}, {"Up", false}}));
    EXPECT_EQ(Replies(session, "client_add_key -exclusively A Down"),
              "huh? Could not reserve key \"A\"|huh? Could not reserve key \"Down\"|success")
        << "as LCDd: an exclusive reservation meets none other of the key, its own neither";
    EXPECT_EQ(Replies(session, "client_add_key Up"), "success") << "shared twice is fine";
    EXPECT_EQ(Replies(session, "client_del_key A Up Down"), "success");
    EXPECT_EQ(Replies(session, "client_del_key"), "huh? Usage: client_del_key {<key>}+");
    EXPECT_EQ(session.keys(), (std::map<std::string, bool>{{"B", false}}));

    EXPECT_EQ(Replies(session, "menu_del_item \"\" x"), "huh? Client has no menu");
    EXPECT_EQ(Replies(session, "menu_add_item \"\" m menu -text Main"), "success");
    EXPECT_EQ(Replies(session, "menu_add_item m go action -text \"Go on\""), "success");
    EXPECT_EQ(Replies(session, "menu_add_item m go action"), "huh? Item id already in use");
    EXPECT_EQ(Replies(session, "menu_add_item go x action"), "huh? Cannot find menu id") << "an action holds no items";
    EXPECT_EQ(Replies(session, "menu_add_item m x gadget"), "huh? Invalid menuitem type");
    EXPECT_EQ(Replies(session, "menu_set_item m go -text Went"), "success");
    EXPECT_EQ(Replies(session, "menu_add_item m box checkbox \"A box\" -value on -allow_gray true"), "success");
    EXPECT_EQ(Replies(session, "menu_add_item m ring ring -text Ring -strings \"a\tbb\tc\""), "success");
    EXPECT_EQ(Replies(session, "menu_set_item m box -menu_result quit"), "success")
        << "an option the item does not use is accepted";
    ASSERT_EQ(session.menu().size(), 4u);
    EXPECT_EQ(session.menu()[1].text, "Went") << "options set one by one, the text kept";
    EXPECT_EQ(session.menu()[2].text, "A box") << "the text before the options";
    EXPECT_EQ(session.menu()[2].value, "on");
    EXPECT_TRUE(session.menu()[2].allowGray);
    EXPECT_EQ(session.menu()[3].strings, (std::vector<std::string>{"a", "bb", "c"}));
    EXPECT_EQ(Replies(session, "menu_set_item m go -menu_result close"), "success");
    EXPECT_EQ(session.menu()[1].result, "close");
    EXPECT_EQ(session.menu()[1].text, "Went");
    EXPECT_EQ(Replies(session, "menu_set_item \"\" x -text y"), "huh? Cannot find menu id");
    EXPECT_EQ(Replies(session, "menu_goto m"), "success");
    EXPECT_EQ(Replies(session, "menu_goto x"), "huh? Cannot find menu id");
    EXPECT_EQ(Replies(session, "menu_set_main \"\""), "success");
    EXPECT_EQ(Replies(session, "menu_set_main nope"), "huh? Cannot find menu id");
    EXPECT_EQ(Replies(session, "menu_del_item \"\" m"), "success");
    EXPECT_TRUE(session.menu().empty()) << "a menu takes its items along";
}

TEST_F(Session, EverythingKeptIsBounded)
{
    EXPECT_EQ(Replies(session, "screen_add " + std::string(40, 'y')), "huh? Too many screens") << "ids are bounded too";
    for (int i = 0; i < 10; ++i)
        Replies(session, "screen_add x" + std::to_string(i));
    EXPECT_EQ(session.screens().size(), 4u);
    EXPECT_EQ(Replies(session, "screen_add more"), "huh? Too many screens");
    for (int i = 0; i < 20; ++i)
        Replies(session, "widget_add s w" + std::to_string(i) + " string");
    EXPECT_EQ(session.screens().front().widgets.size(), 9u);
    EXPECT_EQ(Replies(session, "widget_add s one_more string"), "huh? Too many widgets");
    for (int i = 0; i < 9; ++i)
        Replies(session, "widget_add x0 w" + std::to_string(i) + " string");
    EXPECT_EQ(session.screens()[1].widgets.size(), 3u) << "twelve in all the client's screens";
    EXPECT_EQ(Replies(session, "widget_set s w0 1 1 " + std::string(500, 'x')), "success");
    EXPECT_EQ(session.screens().front().Find("w0")->text.size(), 32u);
    for (int i = 0; i < 20; ++i)
        Replies(session, "client_add_key K" + std::to_string(i));
    EXPECT_EQ(session.keys().size(), 4u);
    for (int i = 0; i < 20; ++i)
        Replies(session, "menu_add_item \"\" i" + std::to_string(i) + " action");
    EXPECT_EQ(session.menu().size(), 4u);
}

TEST_F(Session, AKeyThatCannotBeKeptIsRefusedNotAnsweredSuccess)
{
    EXPECT_EQ(Replies(session, "client_add_key A B C D"), "success");
    EXPECT_EQ(Replies(session, "client_add_key E"), "huh? Could not reserve key \"E\"|success")
        << "over the limit of four";
    EXPECT_FALSE(session.keys().contains("E"));
    EXPECT_EQ(Replies(session, "client_add_key A"), "success") << "one held already is not a new one";
    EXPECT_EQ(Replies(session, "client_del_key D"), "success");
    const std::string longName(65, 'k');
    EXPECT_EQ(Replies(session, "client_add_key " + longName),
              "huh? Could not reserve key \"" + longName.substr(0, 32) + "\"|success")
        << "longer than a key's name can be; quoted within the text limit";
    EXPECT_EQ(session.keys().size(), 3u);
}

TEST(SessionText, TextsAreKeptAsUtf8WhateverTheClientSends)
{
    ClientSession latin(Geometry{}, false);
    ClientSession utf8(Geometry{}, true);
    for (ClientSession* session : {&latin, &utf8}) {
        Replies(*session, "hello");
        Replies(*session, "screen_add s");
        Replies(*session, "widget_add s w string");
    }
    Replies(latin, "widget_set s w 1 1 \"caf\xE9 \xE4 \x85\x01\"");
    EXPECT_EQ(latin.screens().front().Find("w")->text, "caf\xC3\xA9 \xC3\xA4 ? ")
        << "Latin-1 bytes are their code points; C1 controls and user codes are no glyphs";
    Replies(utf8, "widget_set s w 1 1 \"caf\xC3\xA9 \xE2\x82\xAC \xD0\x96\xCE\xA9 \xC2\x85\x01\"");
    EXPECT_EQ(utf8.screens().front().Find("w")->text, "caf\xC3\xA9 \xE2\x82\xAC \xD0\x96\xCE\xA9 ? ")
        << "any letter kept as it came";
    Replies(utf8, "widget_set s w 1 1 \"a\xFF\xD0 \xED\xA0\x80z\"");
    EXPECT_EQ(utf8.screens().front().Find("w")->text, "a\xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz")
        << "each malformed byte, a surrogate's too, is U+FFFD";
}

TEST(SessionText, TheLimitCountsBytesOfInputAndNeverSplitsALetter)
{
    ClientSession utf8(Geometry{}, true, SessionLimits{4, 9, 12, 5, 4, 4});
    ClientSession latin(Geometry{}, false, SessionLimits{4, 9, 12, 5, 4, 4});
    for (ClientSession* session : {&latin, &utf8}) {
        Replies(*session, "hello");
        Replies(*session, "screen_add s");
        Replies(*session, "widget_add s w string");
    }
    Replies(utf8, "widget_set s w 1 1 \"\xD0\x96\xD0\x96\xD0\x96\"");
    EXPECT_EQ(utf8.screens().front().Find("w")->text, "\xD0\x96\xD0\x96") << "five bytes hold two letters, not 2.5";
    Replies(utf8, "widget_set s w 1 1 \"\xFF\xFF\xFF\xFF\xFF\xFF\xFF\"");
    EXPECT_EQ(utf8.screens().front().Find("w")->text.size(), 5u * 3u) << "five replaced bytes, no more";
    Replies(latin, "widget_set s w 1 1 \"\xE4\xE4\xE4\xE4\xE4\xE4\"");
    EXPECT_EQ(latin.screens().front().Find("w")->text, "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4");
}

TEST(SessionText, RepliesQuoteTheClientInItsOwnEncoding)
{
    ClientSession latin(Geometry{}, false);
    ClientSession utf8(Geometry{}, true);
    Replies(latin, "hello");
    Replies(utf8, "hello");
    EXPECT_EQ(Replies(latin, "b\xE4r"), "huh? Invalid command \"b\xE4r\"");
    EXPECT_EQ(Replies(utf8, "b\xC3\xA4r\xFF"), "huh? Invalid command \"b\xC3\xA4r\xEF\xBF\xBD\"");
}

} // namespace
