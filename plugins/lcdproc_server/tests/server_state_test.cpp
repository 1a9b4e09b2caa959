// SPDX-License-Identifier: MIT
#include "server_state.h"

#include <pixtera/platform/codepage.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcdproc;

class State : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.OnScreensChanged([this](long display) { changes.push_back(display); });
        state.AttachDisplay(0, {20, 4, 5, 8});
        state.AttachDisplay(2, {16, 2, 5, 8});
        a = state.Connect();
        b = state.Connect();
        for (ClientId c : {a, b})
            Lines(c, {"hello", "client_set -name c" + std::to_string(c)});
    }
    void Lines(ClientId client, std::initializer_list<std::string> lines)
    {
        for (const auto& line : lines)
            state.Execute(client, line);
    }
    // The first id of the screen list, "" when empty.
    std::vector<std::string> Ids(long display)
    {
        std::vector<std::string> ids;
        const std::string list = state.Screens(display);
        for (std::size_t at = 0; at < list.size();) {
            const auto end = list.find('\n', at);
            ids.push_back(list.substr(at, list.find(' ', at) - at));
            at = end + 1;
        }
        return ids;
    }

    ServerState state{false};
    ClientId a = 0;
    ClientId b = 0;
    std::vector<long> changes;
};

TEST_F(State, ClientsAreToldTheFirstDisplaysGeometry)
{
    EXPECT_NE(state.TakeOutput(a).find("connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 4 cellwid 5 cellhgt 8\n"),
              std::string::npos);
}

TEST_F(State, EveryServedDisplayListsAllScreensWithRankAndDuration)
{
    Lines(a, {"screen_add one", "screen_set one -priority alert -duration 16"});
    Lines(b, {"screen_add two"});
    EXPECT_EQ(state.Screens(0), state.Screens(2));
    const auto ids = Ids(0);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(state.Screens(0), ids[0] + " 4 16 0\n" + ids[1] + " 2 32 0\n");
    EXPECT_EQ(state.Screens(1), "") << "not served";
    EXPECT_EQ(changes, (std::vector<long>{0, 2, 0, 2, 0, 2})) << "add, re-rank, add; each display told";
    changes.clear();
    Lines(a, {"screen_set one -name x", "widget_add one w string"});
    EXPECT_TRUE(changes.empty()) << "contents are no change of the rotation";
}

TEST_F(State, TheListCarriesTheBacklightEachScreenAsksFor)
{
    Lines(a, {"screen_add one", "screen_add two", "screen_set two -backlight blink"});
    const auto ids = Ids(0);
    EXPECT_EQ(state.Screens(0), ids[0] + " 2 32 0\n" + ids[1] + " 2 32 3\n");
    changes.clear();
    Lines(a, {"backlight off"});
    EXPECT_EQ(state.Screens(0), ids[0] + " 2 32 1\n" + ids[1] + " 2 32 3\n")
        << "the client's for a screen without its own";
    EXPECT_EQ(changes, (std::vector<long>{0, 2})) << "the displays read the list again";
    Lines(a, {"backlight toggle", "screen_set two -backlight open"});
    EXPECT_EQ(state.Screens(0), ids[0] + " 2 32 2\n" + ids[1] + " 2 32 2\n");
    Lines(a, {"backlight flash", "screen_set one -backlight toggle"});
    EXPECT_EQ(state.Screens(0), ids[0] + " 2 32 1\n" + ids[1] + " 2 32 4\n");
    changes.clear();
    Lines(a, {"backlight flash", "backlight nonsense"});
    EXPECT_TRUE(changes.empty()) << "no change, nothing to read again";
}

TEST_F(State, AScreenKeepsItsNumberAndGoesWithItsClient)
{
    Lines(a, {"screen_add one", "screen_add two"});
    const auto before = Ids(0);
    Lines(a, {"screen_del one"});
    EXPECT_EQ(Ids(0), std::vector<std::string>{before[1]});
    Lines(b, {"screen_add one"});
    const auto after = Ids(0);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NE(after[1], before[0]) << "a new screen, a new number";
    state.Disconnect(b);
    EXPECT_EQ(Ids(0), std::vector<std::string>{before[1]});
    EXPECT_FALSE(state.Render(0, std::stol(after[1]), 0)) << "its client went";
    EXPECT_TRUE(state.Render(0, std::stol(before[1]), 0));
}

TEST_F(State, ListenAndIgnoreFollowWhatTheDisplaysShow)
{
    Lines(a, {"screen_add one"});
    Lines(b, {"screen_add two"});
    const auto ids = Ids(0);
    state.TakeOutput(a);
    state.TakeOutput(b);
    state.Shown(0, std::stol(ids[0]), 0);
    EXPECT_EQ(state.TakeOutput(a), "listen one\n");
    state.Shown(2, std::stol(ids[0]), 0);
    EXPECT_EQ(state.TakeOutput(a), "") << "shown already";
    state.Shown(0, std::stol(ids[1]), 8);
    EXPECT_EQ(state.TakeOutput(a), "") << "still on display 2";
    EXPECT_EQ(state.TakeOutput(b), "listen two\n");
    state.Shown(2, -1, 8);
    EXPECT_EQ(state.TakeOutput(a), "ignore one\n");
}

TEST_F(State, AnIdWithALineEndCannotForgeALineOfTheServers)
{
    // An escaped line end is a client's to put in an id; the server's lines naming the id stay one.
    Lines(a, {R"(screen_add "x\nkey Up")", R"(screen_add "y\rkey Down")"});
    const auto ids = Ids(0);
    ASSERT_EQ(ids.size(), 2u);
    state.TakeOutput(a);
    state.Shown(0, std::stol(ids[0]), 0);
    state.Shown(0, std::stol(ids[1]), 8);
    EXPECT_EQ(state.TakeOutput(a), "listen x key Up\nignore x key Up\nlisten y key Down\n");
}

TEST_F(State, AScreenGoesWhenItsTimeoutIsSpentShowing)
{
    Lines(a, {"screen_add t", "screen_set t -timeout 10"});
    const long id = std::stol(Ids(0)[0]);
    state.Shown(0, id, 100);
    EXPECT_TRUE(state.Render(0, id, 105));
    state.Shown(0, -1, 106); // six eighths spent
    state.Shown(0, id, 200);
    EXPECT_TRUE(state.Render(0, id, 203));
    changes.clear();
    state.TakeOutput(a);
    EXPECT_FALSE(state.Render(0, id, 204)) << "ten eighths shown in all";
    EXPECT_TRUE(Ids(0).empty());
    EXPECT_EQ(state.TakeOutput(a), "ignore t\n");
    EXPECT_EQ(changes, (std::vector<long>{0, 2}));
}

TEST_F(State, KeysGoAsLcddHandsThem)
{
    state.TakeOutput(a);
    state.TakeOutput(b);
    Lines(a, {"client_add_key Up", "screen_add sa"});
    Lines(b, {"client_add_key -exclusively Down", "screen_add sb", "client_add_key Up"});
    Lines(b, {"client_add_key -exclusively Up"});
    Lines(a, {"client_add_key Down"});
    EXPECT_EQ(state.TakeOutput(a), "success\nsuccess\nhuh? Could not reserve key \"Down\"\nsuccess\n")
        << "an exclusive reservation keeps others from the key";
    EXPECT_EQ(state.TakeOutput(b), "success\nsuccess\nsuccess\nhuh? Could not reserve key \"Up\"\nsuccess\n")
        << "as does a shared one from an exclusive reservation";
    const long sa = std::stol(Ids(0)[0]);
    const long sb = std::stol(Ids(0)[1]);

    EXPECT_TRUE(state.DeliverKey(0, sa, "Up"));
    EXPECT_TRUE(state.DeliverKey(0, sb, "Up"));
    EXPECT_EQ(state.TakeOutput(a), "key Up\n") << "a shared key goes to the client whose screen shows";
    EXPECT_EQ(state.TakeOutput(b), "key Up\n");
    EXPECT_FALSE(state.DeliverKey(0, -1, "Up")) << "no client's screen shows: the key stays the service's";
    EXPECT_TRUE(state.DeliverKey(2, sa, "Down"));
    EXPECT_EQ(state.TakeOutput(b), "key Down\n") << "an exclusive key goes to its client whatever shows";
    EXPECT_FALSE(state.DeliverKey(0, sa, "Left"));
    EXPECT_FALSE(state.DeliverKey(1, sa, "Up")) << "a display not served";
    EXPECT_FALSE(state.DeliverKey(0, sa, "Enter")) << "no menu to open";
    EXPECT_EQ(state.TakeOutput(a) + state.TakeOutput(b), "");

    Lines(b, {"client_del_key Down"});
    Lines(a, {"client_add_key -exclusively Down"});
    state.TakeOutput(b);
    EXPECT_EQ(state.TakeOutput(a), "success\n") << "a key let go is free again";
    EXPECT_TRUE(state.DeliverKey(0, sb, "Down"));
    EXPECT_EQ(state.TakeOutput(a), "key Down\n");
}

// A menu row of 20: the entry at the left, its value at the right.
std::string Row(const std::string& left, const std::string& right = "")
{
    return left + std::string(20 - left.size() - right.size(), ' ') + right;
}

class Menus : public State {
protected:
    void SetUp() override
    {
        State::SetUp();
        Lines(a, {"screen_add s", "menu_add_item \"\" act action \"Run it\"", "menu_add_item \"\" sub menu Sub",
                  "menu_add_item sub box checkbox Box", "menu_add_item sub ring ring Ring -strings \"x\ty\"",
                  "menu_set_item \"\" act -menu_result quit"});
        state.TakeOutput(a);
        screen = std::stol(Ids(0)[0]);
        changes.clear();
    }
    // The menu's rows on display 0, as the display gets them.
    std::vector<std::string> MenuRows()
    {
        const auto rendered = state.Render(0, ServerState::kMenuScreen, 0);
        if (!rendered)
            return {};
        std::vector<std::string> rows;
        for (int row = 0; row < 4; ++row) {
            std::string utf8;
            for (char32_t c : rendered->cells.substr(static_cast<std::size_t>(row) * 20, 20))
                pixtera::AppendUtf8(utf8, c);
            rows.push_back(utf8);
        }
        return rows;
    }
    bool Key(const std::string& key) { return state.DeliverKey(0, ServerState::kMenuScreen, key); }

    long screen = 0;
};

TEST_F(Menus, EnterOnAClientScreenOpensTheMenuAndKeysWalkIt)
{
    EXPECT_FALSE(state.Render(0, ServerState::kMenuScreen, 0)) << "closed until asked for";
    EXPECT_FALSE(state.DeliverKey(0, -1, "Enter")) << "a design of the service's shows: its key";
    ASSERT_TRUE(state.DeliverKey(0, screen, "Enter"));
    EXPECT_EQ(changes, (std::vector<long>{0, 2}));
    EXPECT_EQ(Ids(0).front(), "0") << "the menu is a screen of its own, first";
    EXPECT_EQ(Ids(2).size(), 1u) << "on the display it was opened on only";
    auto rows = MenuRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_NE(rows[0].find("c" + std::to_string(a)), std::string::npos) << rows[0];
    EXPECT_EQ(rows[1], Row(">Run it"));
    EXPECT_EQ(rows[2], Row(" Sub", ">"));

    EXPECT_TRUE(Key("Down"));
    EXPECT_TRUE(Key("Enter"));
    rows = MenuRows();
    EXPECT_NE(rows[0].find("Sub"), std::string::npos) << rows[0];
    EXPECT_EQ(rows[1], Row(">Box", "off"));
    EXPECT_EQ(rows[2], Row(" Ring", "x"));
    EXPECT_TRUE(Key("Enter"));
    EXPECT_EQ(state.TakeOutput(a), "menuevent update box on\n");
    EXPECT_TRUE(Key("Up")) << "the cursor goes round";
    EXPECT_TRUE(Key("Enter"));
    EXPECT_EQ(state.TakeOutput(a), "menuevent update ring 1\n");
    EXPECT_EQ(MenuRows()[2], Row(">Ring", "y"));
    EXPECT_FALSE(Key("F1")) << "a key the menu does not use";

    EXPECT_TRUE(Key("Escape"));
    EXPECT_EQ(MenuRows()[2], Row(">Sub", ">")) << "back where it was";
    EXPECT_TRUE(Key("Up"));
    EXPECT_TRUE(Key("Enter"));
    EXPECT_EQ(state.TakeOutput(a), "menuevent select act\n");
    EXPECT_TRUE(MenuRows().empty()) << "-menu_result quit closes the menu";
    EXPECT_EQ(Ids(0).size(), 1u);
}

TEST_F(Menus, AnItemIdWithALineEndCannotForgeAnEvent)
{
    Lines(a, {R"(menu_add_item "" "go\nkey Enter" action Go)", R"(menu_set_item "" act -is_hidden true)",
              R"(menu_set_item "" sub -is_hidden true)"});
    state.TakeOutput(a);
    ASSERT_TRUE(state.DeliverKey(0, screen, "Enter"));
    ASSERT_EQ(MenuRows()[1], Row(">Go"));
    EXPECT_TRUE(Key("Enter"));
    EXPECT_EQ(state.TakeOutput(a), "menuevent select go key Enter\n");
}

TEST_F(Menus, SeveralClientsAreListedAndAGoneClientTakesItsMenu)
{
    Lines(b, {"menu_add_item \"\" other action Other"});
    ASSERT_TRUE(state.DeliverKey(0, screen, "Enter"));
    auto rows = MenuRows();
    EXPECT_EQ(rows[1], Row(">c" + std::to_string(a)));
    EXPECT_EQ(rows[2], Row(" c" + std::to_string(b)));
    EXPECT_TRUE(Key("Down"));
    EXPECT_TRUE(Key("Enter"));
    EXPECT_EQ(MenuRows()[1], Row(">Other"));
    changes.clear();
    state.Disconnect(b);
    EXPECT_TRUE(MenuRows().empty());
    EXPECT_EQ(changes, (std::vector<long>{0, 2})) << "the displays hear that the menu went";
    EXPECT_FALSE(Key("Down"));
}

TEST_F(Menus, MenuGotoOpensAMenuAndEscapeWalksOut)
{
    Lines(a, {"menu_goto sub"});
    EXPECT_EQ(state.TakeOutput(a), "success\n");
    EXPECT_NE(MenuRows()[0].find("Sub"), std::string::npos);
    EXPECT_TRUE(Key("Escape"));
    EXPECT_EQ(MenuRows()[1], Row(">Run it"));
    EXPECT_TRUE(Key("Escape"));
    EXPECT_TRUE(MenuRows().empty());
    Lines(a, {"menu_goto sub", "menu_del_item \"\" sub"});
    EXPECT_TRUE(MenuRows().empty()) << "a menu deleted while shown closes";
}

TEST_F(Menus, AnEmptyMenuIsNotEnteredAndADeepOneIsWalkedOutOf)
{
    Lines(a, {"menu_add_item \"\" empty menu Empty"});
    ASSERT_TRUE(state.DeliverKey(0, screen, "Enter"));
    EXPECT_TRUE(Key("Down"));
    EXPECT_TRUE(Key("Down"));
    EXPECT_TRUE(Key("Enter"));
    ASSERT_EQ(MenuRows().size(), 4u) << "the menu stays open";
    EXPECT_EQ(MenuRows()[3], Row(">Empty", ">")) << "still in the main menu";
    EXPECT_TRUE(Key("Escape"));
    // Nested as deep as the client's items allow, and opened at the bottom.
    std::string parent = "sub";
    for (int i = 0; i < 200; ++i) {
        const std::string id = "d" + std::to_string(i);
        Lines(a, {"menu_add_item " + parent + " " + id + " menu " + id});
        parent = id;
    }
    Lines(a, {"menu_add_item " + parent + " leaf action Leaf", "menu_goto " + parent});
    EXPECT_EQ(MenuRows()[1], Row(">Leaf"));
    int escapes = 0;
    while (!MenuRows().empty() && escapes < 1000) {
        Key("Escape");
        ++escapes;
    }
    EXPECT_EQ(escapes, 202) << "every menu on the way in (sub, then 200), the main one last";
}

TEST(StateLimits, OutputNobodyReadsOverflowsAndStopsGrowing)
{
    ServerState state(false, ServerLimits{{}, 100});
    const ClientId c = state.Connect();
    for (int i = 0; i < 20; ++i)
        state.Execute(c, "noop");
    EXPECT_TRUE(state.Overflowed(c));
    EXPECT_EQ(state.TakeOutput(c), "");
    EXPECT_FALSE(state.Send(c, "more"));
}

// A menu's row is measured in letters: the entry cut and its value set right by code points.
TEST(Utf8Menus, EntriesAndValuesAreMeasuredInLetters)
{
    ServerState state{true};
    state.AttachDisplay(0, {20, 4, 5, 8});
    const ClientId client = state.Connect();
    for (const std::string line :
         {"hello", "screen_add s",
          "menu_add_item \"\" lang ring \"\xD0\xAF\xD0\xB7\xD1\x8B\xD0\xBA \xD0\xB8\xD0\xBD\xD1\x82\xD0\xB5\xD1\x80"
          "\xD1\x84\xD0\xB5\xD0\xB9\xD1\x81\xD0\xB0\" -strings \"\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8"
          "\xD0\xB9\tEnglish\""})
        state.Execute(client, line);
    state.TakeOutput(client);
    const long screen = std::stol(state.Screens(0));
    ASSERT_TRUE(state.DeliverKey(0, screen, "Enter"));
    const auto rendered = state.Render(0, ServerState::kMenuScreen, 0);
    ASSERT_TRUE(rendered);
    EXPECT_EQ(rendered->cells.substr(20, 20), U">Язык интерф Русский");
}

} // namespace
