// SPDX-License-Identifier: MIT
#include "server_state.h"

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
    EXPECT_EQ(state.Screens(0), ids[0] + " 4 16\n" + ids[1] + " 2 32\n");
    EXPECT_EQ(state.Screens(1), "") << "not served";
    EXPECT_EQ(changes, (std::vector<long>{0, 2, 0, 2, 0, 2})) << "add, re-rank, add; each display told";
    changes.clear();
    Lines(a, {"screen_set one -name x", "widget_add one w string"});
    EXPECT_TRUE(changes.empty()) << "contents are no change of the rotation";
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

TEST_F(State, KeysGoToTheClientThatReservedThem)
{
    Lines(a, {"client_add_key Up"});
    Lines(b, {"client_add_key Up Down", "screen_add s"});
    state.TakeOutput(a);
    state.TakeOutput(b);
    EXPECT_TRUE(state.DeliverKey("Down"));
    EXPECT_EQ(state.TakeOutput(b), "key Down\n");
    EXPECT_TRUE(state.DeliverKey("Up"));
    EXPECT_EQ(state.TakeOutput(a), "key Up\n") << "the first that asked";
    state.Shown(0, std::stol(Ids(0)[0]), 0);
    state.TakeOutput(b);
    EXPECT_TRUE(state.DeliverKey("Up"));
    EXPECT_EQ(state.TakeOutput(b), "key Up\n") << "unless another's screen is shown";
    EXPECT_FALSE(state.DeliverKey("Enter"));
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

} // namespace
