// SPDX-License-Identifier: MIT
// Which player a bus name is, and which players player= names: the name after
// org.mpris.MediaPlayer2., whole, in any case, whatever instance of it.

#include "now_playing.h"
#include "player_name.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera::media;
using namespace std::chrono_literals;

TEST(PlayerName, IsWhatFollowsThePrefixUpToAnInstanceSuffix)
{
    EXPECT_EQ(PlayerName("org.mpris.MediaPlayer2.vlc"), "vlc");
    EXPECT_EQ(PlayerName("org.mpris.MediaPlayer2.vlc.instance7389"), "vlc");
    EXPECT_EQ(PlayerName("org.mpris.MediaPlayer2.firefox.instance_1_7"), "firefox");
    EXPECT_EQ(PlayerName("org.mpris.MediaPlayer2.io.github.celluloid_player.Celluloid"),
              "io.github.celluloid_player.Celluloid")
        << "a name's own dots stay";
    EXPECT_EQ(PlayerName("org.mpris.MediaPlayer2.instancer"), "instancer") << "only a suffix is cut";
    EXPECT_EQ(PlayerName("org.freedesktop.DBus"), "");
    EXPECT_EQ(PlayerName("org.mpris.MediaPlayer2"), "");
}

TEST(PlayerName, PinnedNamesThePlayerWholeInAnyCaseWhateverItsInstance)
{
    EXPECT_TRUE(NamesPlayer("firefox", "org.mpris.MediaPlayer2.firefox.instance_1_7"));
    EXPECT_TRUE(NamesPlayer("vlc", "org.mpris.MediaPlayer2.vlc"));
    EXPECT_TRUE(NamesPlayer("VLC", "org.mpris.MediaPlayer2.vlc"));
    EXPECT_TRUE(NamesPlayer("spotify", "org.mpris.MediaPlayer2.Spotify"));
    EXPECT_TRUE(NamesPlayer("chromium", "org.mpris.MediaPlayer2.chromium.Instance4242"));

    EXPECT_FALSE(NamesPlayer("vlc", "org.mpris.MediaPlayer2.notvlc")) << "whole, not its end";
    EXPECT_FALSE(NamesPlayer("vlc", "org.mpris.MediaPlayer2.vlc2")) << "whole, not its start";
    EXPECT_FALSE(NamesPlayer("vlc", "org.mpris.MediaPlayer2.vlcx.instance3"));
    EXPECT_FALSE(NamesPlayer("instance_1_7", "org.mpris.MediaPlayer2.firefox.instance_1_7")) << "not the instance";
    EXPECT_FALSE(NamesPlayer("celluloid", "org.mpris.MediaPlayer2.io.github.celluloid_player.Celluloid"));
    EXPECT_FALSE(NamesPlayer("dbus", "org.freedesktop.DBus")) << "no player's name";
    EXPECT_FALSE(NamesPlayer("", "org.mpris.MediaPlayer2.vlc"));

    // Written as on the bus: a whole name, or one instance of the player, names every instance.
    EXPECT_TRUE(NamesPlayer("org.mpris.MediaPlayer2.vlc", "org.mpris.MediaPlayer2.vlc.instance3"));
    EXPECT_TRUE(NamesPlayer("firefox.instance_1_7", "org.mpris.MediaPlayer2.firefox.instance_9_2"));
    EXPECT_TRUE(NamesPlayer("io.github.celluloid_player.celluloid",
                            "org.mpris.MediaPlayer2.io.github.celluloid_player.Celluloid"));
    EXPECT_FALSE(NamesPlayer(".instance3", "org.mpris.MediaPlayer2.vlc.instance3"));
}

TEST(PlayerName, APinnedPlayerOfTwoInstancesIsTheOneThatPlaysAndAnyOfAPlayersNamesCounts)
{
    const auto start = Clock::now();
    std::vector<PlayerState> players(3);
    players[0].busNames = {"org.mpris.MediaPlayer2.firefox.instance_1_7"};
    players[0].status = "Paused";
    players[1].busNames = {"org.mpris.MediaPlayer2.notfirefox"};
    players[1].status = "Playing";
    players[1].startedPlaying = start + 2s;
    players[2].busNames = {"org.mpris.MediaPlayer2.firefox.instance_2_9"};
    players[2].status = "Playing";
    players[2].startedPlaying = start + 1s;
    EXPECT_EQ(ChoosePlayer(players, "Firefox"), &players[2]);
    players[2].status = "Stopped";
    EXPECT_EQ(ChoosePlayer(players, "firefox"), &players[0]);
    EXPECT_EQ(ChoosePlayer(players, ""), &players[1]);
    EXPECT_EQ(ChoosePlayer(players, "fox"), nullptr);
    players[1].busNames.push_back("org.mpris.MediaPlayer2.firefox.instance_3_1");
    EXPECT_EQ(ChoosePlayer(players, "firefox"), &players[1]) << "any of a player's names";
}

} // namespace
