// SPDX-License-Identifier: MIT
// A player's properties applied to its state, as a player that sends nonsense would have them:
// values of other types, endless texts and lists, statuses and rates that are none.

#include "player_properties.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace pixtera::media;

PlayerState Playing()
{
    PlayerState player;
    ApplyProperties(
        player,
        {{"PlaybackStatus", sdbus::Variant(std::string("Playing"))},
         {"Metadata", sdbus::Variant(Properties{{"xesam:title", sdbus::Variant(std::string("Song"))},
                                                {"mpris:length", sdbus::Variant(std::int64_t{90'000'000})}})}},
        Clock::now());
    return player;
}

TEST(PlayerProperties, TextsAndListsAreCutToWhatADisplayCouldShowNeverInsideACharacter)
{
    const std::string title = std::string(kMaxTextBytes - 1, 'a') + "\xC3\xA9" + "xyz";
    std::vector<std::string> artists(100, std::string(2 * kMaxTextBytes, 'b'));
    PlayerState player;
    ApplyProperties(player,
                    {{"Metadata", sdbus::Variant(Properties{{"xesam:title", sdbus::Variant(title)},
                                                            {"xesam:album", sdbus::Variant(std::string("Album"))},
                                                            {"xesam:artist", sdbus::Variant(artists)}})}},
                    Clock::now());
    EXPECT_EQ(player.title, std::string(kMaxTextBytes - 1, 'a')) << "the two-byte character goes whole";
    EXPECT_EQ(player.album, "Album");
    ASSERT_EQ(player.artists.size(), kMaxArtists);
    EXPECT_EQ(player.artists.front().size(), kMaxTextBytes);
    EXPECT_EQ(BoundedText(std::string(kMaxTextBytes, 'c')).size(), kMaxTextBytes) << "what fits stays";
}

TEST(PlayerProperties, ValuesOfOtherTypesAndStatusesOrRatesThatAreNoneLeaveTheStateAsItWas)
{
    PlayerState player = Playing();
    const auto now = Clock::now();
    ApplyProperties(player,
                    {{"PlaybackStatus", sdbus::Variant(std::string("Rewinding"))},
                     {"Rate", sdbus::Variant(std::numeric_limits<double>::quiet_NaN())},
                     {"Metadata", sdbus::Variant(std::int32_t{4})}},
                    now);
    EXPECT_EQ(player.status, "Playing");
    EXPECT_EQ(player.rate, 1.0);
    EXPECT_EQ(player.title, "Song") << "Metadata that is no map of fields";
    ApplyProperties(player, {{"Rate", sdbus::Variant(1e300)}, {"PlaybackStatus", sdbus::Variant(std::int32_t{1})}},
                    now);
    EXPECT_EQ(player.rate, 1.0);
    EXPECT_EQ(player.status, "Playing");
    ApplyProperties(player, {{"Rate", sdbus::Variant(2.0)}}, now);
    EXPECT_EQ(player.rate, 2.0) << "a rate there is";

    ApplyProperties(player,
                    {{"Metadata", sdbus::Variant(Properties{{"xesam:title", sdbus::Variant(std::int32_t{7})},
                                                            {"mpris:length", sdbus::Variant(std::string("long"))}})}},
                    now);
    EXPECT_EQ(player.title, "") << "a track whose title is no text has none";
    EXPECT_FALSE(player.length.has_value());
    ApplyProperties(
        player, {{"Metadata", sdbus::Variant(Properties{{"mpris:length", sdbus::Variant(std::uint64_t{5'000'000})}})}},
        now);
    EXPECT_EQ(player.length, 5.0) << "unsigned, as some players send it";
}

TEST(PlayerProperties, TimesAPlayerMadeUpStillReadAsTimes)
{
    EXPECT_EQ(PlayingTime(std::numeric_limits<double>::quiet_NaN()), "0:00");
    EXPECT_EQ(PlayingTime(-5), "0:00");
    EXPECT_EQ(PlayingTime(1e300), PlayingTime(1e9));
    EXPECT_EQ(PlayingTime(1e9), "277777:46:40");
    PlayerState player = Playing();
    ApplyProperties(player, {{"Position", sdbus::Variant(std::numeric_limits<std::int64_t>::max())}}, Clock::now());
    const NowPlaying playing = Describe(&player, Clock::now());
    EXPECT_EQ(playing.positionText, "1:30") << "never past the track's end";
    EXPECT_DOUBLE_EQ(playing.progress, 100);
}

} // namespace
