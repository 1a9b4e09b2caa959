// SPDX-License-Identifier: MIT
// What is playing, from fake MPRIS2 players on a session bus of the test's own: the player is
// followed by its signals alone, the one that starts playing last takes over, players quitting
// leave "Nothing playing", and the plug-in asks nothing while nothing changes.

#include "fake_player.h"
#include "mpris_watcher.h"
#include "private_bus.h"
#include "test_environment.h"

#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/plugin_info.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::media;
using namespace std::chrono_literals;
using media::test::FakePlayer;

NowPlaying Now(const MprisWatcher& watcher, const std::string& pinned = "")
{
    const auto players = watcher.Players();
    return Describe(ChoosePlayer(players, pinned), Clock::now());
}

TEST(NowPlaying, PositionMovesAtTheRateWhilePlayingAndTimesReadLikeAPlayers)
{
    const auto start = Clock::now();
    PlayerState player;
    player.status = "Playing";
    player.title = "Song";
    player.artists = {"Ann", "Bob"};
    player.length = 200;
    player.position = 10;
    player.positionAt = start;
    player.rate = 2.0;
    const NowPlaying playing = Describe(&player, start + 5s);
    EXPECT_DOUBLE_EQ(playing.position, 20);
    EXPECT_DOUBLE_EQ(playing.progress, 10);
    EXPECT_EQ(playing.artist, "Ann, Bob");
    EXPECT_EQ(playing.positionText, "0:20");
    EXPECT_EQ(playing.lengthText, "3:20");
    EXPECT_DOUBLE_EQ(player.PositionAt(start + 1000s), 200) << "never past the end";
    player.Settle(start + 5s);
    player.status = "Paused";
    EXPECT_DOUBLE_EQ(player.PositionAt(start + 60s), 20) << "paused, it stands";
    EXPECT_EQ(PlayingTime(3723), "1:02:03");
    EXPECT_EQ(Describe(nullptr, start).status, "Nothing playing");

    std::vector<PlayerState> players(3);
    players[0].busNames = {"org.mpris.MediaPlayer2.vlc"};
    players[0].status = "Paused";
    players[0].startedPlaying = start + 3s;
    players[1].busNames = {"org.mpris.MediaPlayer2.spotify"};
    players[1].status = "Playing";
    players[1].startedPlaying = start + 1s;
    players[2].busNames = {"org.mpris.MediaPlayer2.firefox.instance_1_7"};
    players[2].status = "Playing";
    players[2].startedPlaying = start + 2s;
    EXPECT_EQ(ChoosePlayer(players, ""), &players[2]) << "the last to start playing";
    EXPECT_EQ(ChoosePlayer(players, "vlc"), &players[0]) << "pinned";
    EXPECT_EQ(ChoosePlayer(players, "mpd"), nullptr);
    players[1].status = players[2].status = "Stopped";
    EXPECT_EQ(ChoosePlayer(players, ""), &players[0]) << "a paused one before stopped ones";
}

TEST(MediaWatcher, FollowsPlayersBySignalsAloneAndTheLastToPlayTakesOver)
{
    pixtera::test::PrivateBus bus;
    auto first = std::make_unique<FakePlayer>("first", "First Player");
    first->Play("Playing", "Morning", {"Ann", "Bob"}, 200'000'000, 30'000'000);
    MprisWatcher watcher(sdbus::createSessionBusConnection());
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).title == "Morning"; }))
        << "a player already there is asked when the watcher starts";
    NowPlaying now = Now(watcher);
    EXPECT_EQ(now.artist, "Ann, Bob");
    EXPECT_EQ(now.album, "Album");
    EXPECT_EQ(now.player, "First Player");
    EXPECT_GE(now.position, 30);
    EXPECT_EQ(now.lengthText, "3:20");
    const int readsAtStart = first->reads();
    EXPECT_GT(readsAtStart, 0);

    first->SetStatus("Paused");
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).status == "Paused"; }));
    first->Seek(100'000'000);
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).positionText == "1:40"; }));
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(Now(watcher).positionText, "1:40") << "paused, the position stands";
    EXPECT_EQ(first->reads(), readsAtStart) << "nothing is asked of a player: its signals tell";

    auto second = std::make_unique<FakePlayer>("second", "Second Player");
    second->Play("Playing", "Evening", {"Cat"}, 60'000'000);
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).title == "Evening"; }));
    EXPECT_EQ(Now(watcher, "first").title, "Morning") << "player= pins one";

    second.reset();
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).title == "Morning"; })) << "back to the paused one";
    first.reset();
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).status == "Nothing playing"; }));
    EXPECT_EQ(Now(watcher).title, "");
}

TEST(MediaWatcher, APlayerIsItsConnectionWhateverNamesItOwnsAndItsSignalsMoveItUnderAll)
{
    pixtera::test::PrivateBus bus;
    FakePlayer vlc("vlc", "VLC media player");
    vlc.Own("vlc.instance123");
    vlc.Play("Playing", "Morning", {"Ann"}, 200'000'000);
    MprisWatcher watcher(sdbus::createSessionBusConnection());
    const std::vector<std::string> both{"org.mpris.MediaPlayer2.vlc", "org.mpris.MediaPlayer2.vlc.instance123"};
    auto namesOf = [&](const std::string& owner) {
        for (const auto& player : watcher.Players())
            if (player.owner == owner) {
                auto names = player.busNames;
                std::sort(names.begin(), names.end());
                return names;
            }
        return std::vector<std::string>{};
    };
    auto namesSeen = [&] {
        std::size_t names = 0;
        for (const auto& player : watcher.Players())
            names += player.busNames.size();
        return names;
    };
    ASSERT_TRUE(pixtera::test::Eventually([&] { return namesSeen() == 2 && Now(watcher).title == "Morning"; }))
        << "both names found on starting";

    vlc.SetStatus("Paused");
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).status == "Paused"; }))
        << "its pause shows, under whichever name it was found";
    vlc.Play("Paused", "Evening", {"Bob"}, 60'000'000);
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).title == "Evening"; }));
    EXPECT_EQ(Now(watcher, "vlc").status, "Paused");
    EXPECT_EQ(watcher.Players().size(), 1u) << "one player";
    EXPECT_EQ(namesOf(vlc.owner()), both);

    // Names taken and given up while followed.
    FakePlayer tune("tune", "Tune");
    tune.Play("Playing", "Noon", {"Cat"}, 60'000'000);
    tune.Own("tune.instance7");
    ASSERT_TRUE(pixtera::test::Eventually([&] {
        return namesOf(tune.owner()) ==
               std::vector<std::string>{"org.mpris.MediaPlayer2.tune", "org.mpris.MediaPlayer2.tune.instance7"};
    }));
    EXPECT_EQ(watcher.Players().size(), 2u);
    tune.Disown("tune");
    ASSERT_TRUE(pixtera::test::Eventually(
        [&] { return namesOf(tune.owner()) == std::vector<std::string>{"org.mpris.MediaPlayer2.tune.instance7"}; }));
    tune.SetStatus("Paused");
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher, "tune").status == "Paused"; }))
        << "followed by the name it kept";
    tune.Disown("tune.instance7");
    ASSERT_TRUE(pixtera::test::Eventually([&] { return watcher.Players().size() == 1; })) << "its last name gone";
    EXPECT_EQ(Now(watcher, "tune").status, "Nothing playing");
    EXPECT_EQ(Now(watcher).title, "Evening");
}

// The plug-in as the service has it: configured, its values read by name after a Refresh.
class MediaDataPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pixtera::test::RegisterModule(pixtera::test::ProgramDirectory() / "plugins" / "MediaData.so"));
    }

    void Configure(const std::u16string& configuration)
    {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(u"Pixtera.MediaData", &clsid), S_OK);
        ComPtr<IPluginInfo> info;
        ASSERT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, info), S_OK);
        ASSERT_EQ(info->Configure(BString(configuration).get()), S_OK);
        provider_ = info.As<IDataProvider>();
        ASSERT_TRUE(provider_);
        LONG count = 0;
        provider_->GetCount(&count);
        for (LONG i = 0; i < count; ++i) {
            BString name;
            provider_->GetName(i, name.Out());
            index_[name.utf8()] = i;
        }
    }

    std::string Text(const char* name)
    {
        provider_->Refresh();
        Variant value;
        provider_->GetValue(index_.at(name), value.Out());
        const auto shown = value.AsText();
        return shown ? shown->utf8() : std::string("(none)");
    }

    pixtera::test::PrivateBus bus_;
    ComPtr<IDataProvider> provider_;
    std::map<std::string, LONG> index_;
};

TEST_F(MediaDataPlugin, OffersTheValuesByName)
{
    FakePlayer player("tune", "Tune");
    player.Play("Playing", "Noon", {"Dee"}, 120'000'000);
    ASSERT_NO_FATAL_FAILURE(Configure(u""));
    for (const char* name :
         {"Media.Title", "Media.Artist", "Media.Album", "Media.Status", "Media.Player", "Media.Position",
          "Media.Length", "Media.Progress", "Media.PositionText", "Media.LengthText"})
        EXPECT_TRUE(index_.contains(name)) << name;
    EXPECT_TRUE(pixtera::test::Eventually([&] { return Text("Media.Title") == "Noon"; }));
    EXPECT_EQ(Text("Media.LengthText"), "2:00");
    EXPECT_EQ(Text("Media.Status"), "Playing");
}

TEST_F(MediaDataPlugin, PlayerFollowsThePlayerOfThatNameWhateverItsInstance)
{
    FakePlayer firefox("firefox.instance_1_7", "Mozilla Firefox");
    firefox.Play("Playing", "Clip", {"Eve"}, 60'000'000);
    FakePlayer decoy("notfirefox", "Decoy");
    decoy.Play("Playing", "Decoy", {"Fay"}, 60'000'000);
    ASSERT_NO_FATAL_FAILURE(Configure(u"player=FireFox"));
    EXPECT_TRUE(pixtera::test::Eventually([&] { return Text("Media.Title") == "Clip"; }));
    EXPECT_EQ(Text("Media.Player"), "Mozilla Firefox");
}

TEST(MediaWatcher, PinnedPlayersAreNamedWholeNotByTheirNamesEnd)
{
    pixtera::test::PrivateBus bus;
    FakePlayer decoy("notvlc", "Not VLC");
    decoy.Play("Playing", "Decoy", {"Fay"}, 60'000'000);
    MprisWatcher watcher(sdbus::createSessionBusConnection());
    ASSERT_TRUE(pixtera::test::Eventually([&] { return Now(watcher).title == "Decoy"; }));
    EXPECT_EQ(Now(watcher, "vlc").status, "Nothing playing");
    EXPECT_EQ(Now(watcher, "NotVLC").title, "Decoy");
}

} // namespace
