// SPDX-License-Identifier: MIT
// The media watcher on a session bus where programs misbehave: signals of the players' names with
// arguments of other types, from strangers and from a player itself, and players' names whose
// owners never answer. The watcher lives on, says each sender once, and follows the good player.

#include "bus_strangers.h"
#include "fake_player.h"
#include "mpris_watcher.h"

#include "captured_log.h"
#include "private_bus.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::media;
using namespace std::chrono_literals;
using media::test::FakePlayer;
using media::test::SilentPlayer;
using media::test::Stranger;
using pixtera::test::Eventually;

constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

NowPlaying Now(const MprisWatcher& watcher)
{
    const auto players = watcher.Players();
    return Describe(ChoosePlayer(players, ""), Clock::now());
}

std::vector<std::unique_ptr<SilentPlayer>> SilentPlayers(int first, int count)
{
    std::vector<std::unique_ptr<SilentPlayer>> players;
    for (int n = first; n < first + count; ++n)
        players.push_back(std::make_unique<SilentPlayer>("silent" + std::to_string(n)));
    return players;
}

TEST(MediaWatcherOnAHostileBus, MalformedSignalsAreDroppedEachSenderNamedOnceAndTheGoodPlayerStillFollowed)
{
    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    FakePlayer player("good", "Good Player");
    player.Play("Playing", "Morning", {"Ann"}, 200'000'000);
    MprisWatcher watcher(sdbus::createSessionBusConnection());
    ASSERT_TRUE(Eventually([&] { return Now(watcher).player == "Good Player" && Now(watcher).title == "Morning"; }));

    // No player's name needed: any program may send these.
    Stranger stranger;
    stranger.Send(kPlayer, "Seeked", std::string("hello"));
    stranger.Send(kPlayer, "Seeked");
    stranger.Send(kProperties, "PropertiesChanged", std::string(kPlayer), std::int32_t{5});
    stranger.Send(kProperties, "PropertiesChanged", std::string(kPlayer));
    // The player itself: a jump that is no number, Metadata that is no map, a title that is no text.
    player.Send(kPlayer, "Seeked", 12.5);
    player.Send(kProperties, "PropertiesChanged", std::string(kPlayer),
                std::map<std::string, sdbus::Variant>{{"Metadata", sdbus::Variant(std::int32_t{3})}},
                std::vector<std::string>{});
    player.Seek(100'000'000);
    ASSERT_TRUE(Eventually([&] { return Now(watcher).positionText.rfind("1:4", 0) == 0; }))
        << "the watcher still follows the player's signals";
    EXPECT_EQ(Now(watcher).title, "Morning") << "Metadata that is no map leaves the track as it was";

    player.Send(
        kProperties, "PropertiesChanged", std::string(kPlayer),
        std::map<std::string, sdbus::Variant>{{"Metadata", sdbus::Variant(std::map<std::string, sdbus::Variant>{
                                                               {"xesam:title", sdbus::Variant(std::int32_t{7})}})}},
        std::vector<std::string>{});
    player.Play("Playing", "Noon", {"Bob"}, 60'000'000);
    ASSERT_TRUE(Eventually([&] { return Now(watcher).title == "Noon"; }));
    EXPECT_EQ(Now(watcher).artist, "Bob");

    EXPECT_EQ(log.Count("Media data: dropped Seeked from " + stranger.name()), 1) << log.Text();
    EXPECT_EQ(log.Count(stranger.name()), 1) << "one line for all a sender sent\n" << log.Text();
    EXPECT_EQ(log.Count("Media data: dropped Seeked from " + player.owner()), 1) << log.Text();
    EXPECT_EQ(log.Count(player.owner()), 1) << log.Text();
}

TEST(MediaWatcherOnAHostileBus, PlayersThatNeverAnswerHoldUpNeitherTheSetUpNorTheSignals)
{
    pixtera::test::PrivateBus bus;
    FakePlayer player("good", "Good Player");
    player.Play("Playing", "Morning", {"Ann"}, 200'000'000);
    auto silent = SilentPlayers(0, 20);

    // Hang detectors: each player that does not answer used to cost the set-up, and then the
    // thread that delivers every signal, a second of waiting.
    auto setUp = std::async(std::launch::async,
                            [] { return std::make_unique<MprisWatcher>(sdbus::createSessionBusConnection()); });
    ASSERT_TRUE(Eventually([&] { return setUp.wait_for(0s) == std::future_status::ready; }))
        << "the set-up waits for players";
    const auto watcher = setUp.get();
    ASSERT_TRUE(Eventually([&] { return Now(*watcher).title == "Morning"; }));

    std::atomic<bool> appearing{true};
    std::thread more([&] {
        for (auto& late : SilentPlayers(20, 20))
            silent.push_back(std::move(late));
        appearing = false;
    });
    player.Play("Playing", "Noon", {"Bob"}, 60'000'000);
    const bool seen = Eventually([&] { return Now(*watcher).title == "Noon"; });
    more.join();
    EXPECT_TRUE(seen) << "the new title waits behind players that do not answer";
    EXPECT_FALSE(appearing);
    EXPECT_LE(watcher->Players().size(), MprisWatcher::kMaxPlayers);
}

TEST(MediaWatcherOnAHostileBus, AtMostMaxPlayersAreFollowedAndThoseThatNeverAnsweredMakeRoom)
{
    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    FakePlayer first("first", "First");
    first.Play("Paused", "Morning", {"Ann"}, 200'000'000);
    MprisWatcher watcher(sdbus::createSessionBusConnection(), 3);
    ASSERT_TRUE(Eventually([&] { return Now(watcher).player == "First" && Now(watcher).title == "Morning"; }));

    const auto silent = SilentPlayers(0, 10);
    FakePlayer second("second", "Second");
    second.Play("Playing", "Noon", {"Bob"}, 60'000'000);
    ASSERT_TRUE(Eventually([&] { return Now(watcher).player == "Second" && Now(watcher).title == "Noon"; }))
        << "a player that answers takes the place of one that never did";
    auto players = watcher.Players();
    EXPECT_LE(players.size(), 3u);
    EXPECT_EQ(players.front().busNames, std::vector<std::string>{"org.mpris.MediaPlayer2.first"})
        << "a player that answered stays";

    FakePlayer third("third", "Third");
    third.Play("Playing", "Evening", {"Cat"}, 60'000'000);
    ASSERT_TRUE(Eventually([&] { return Now(watcher).player == "Third" && Now(watcher).title == "Evening"; }));
    FakePlayer fourth("fourth", "Fourth");
    fourth.Play("Playing", "Night", {"Dee"}, 60'000'000);
    ASSERT_TRUE(Eventually([&] { return log.Contains("3 players are followed already"); }));
    EXPECT_EQ(Now(watcher).title, "Evening") << "with every place taken by a player that answered, a new one waits";
    EXPECT_EQ(watcher.Players().size(), 3u);
}

TEST(MediaWatcherOnAHostileBus, AProgramOwningManyPlayerNamesIsOnePlayerOfAtMostMaxNames)
{
    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    FakePlayer many("many0", "Many");
    for (int n = 1; n < 20; ++n)
        many.Own("many" + std::to_string(n));
    many.Play("Playing", "Morning", {"Ann"}, 60'000'000);
    MprisWatcher watcher(sdbus::createSessionBusConnection());
    ASSERT_TRUE(Eventually([&] { return log.Contains("player names already"); }));
    ASSERT_TRUE(Eventually([&] { return Now(watcher).title == "Morning"; }));
    const auto players = watcher.Players();
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players.front().busNames.size(), MprisWatcher::kMaxNames);
    EXPECT_EQ(log.Count("Media data: " + many.owner() + " owns 8 player names already"), 1) << log.Text();
}

} // namespace
