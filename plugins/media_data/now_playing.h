// SPDX-License-Identifier: MIT
#pragma once
// What is playing, from the states of the MPRIS2 players on the session bus: which player to
// follow, and its values as the displays show them. No bus here: the watcher keeps the states.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::media {

using Clock = std::chrono::steady_clock;

struct PlayerState {
    std::string owner; // the unique name of the player's connection: one player per connection
    std::vector<std::string> busNames; // its MPRIS names (org.mpris.MediaPlayer2.vlc), as it took them
    std::string identity; // "VLC media player"
    std::string status = "Stopped"; // "Playing", "Paused" or "Stopped"
    std::string title;
    std::vector<std::string> artists;
    std::string album;
    std::optional<double> length; // seconds
    double position = 0; // seconds, at `positionAt`
    Clock::time_point positionAt{};
    double rate = 1.0;
    Clock::time_point startedPlaying{}; // when it last began to play

    // Where playback is at `now`: the last known position moved on at the rate while playing.
    double PositionAt(Clock::time_point now) const;
    // The position known at `now` becomes the starting point (before the status or rate changes).
    void Settle(Clock::time_point now);
};

struct NowPlaying {
    std::string title;
    std::string artist; // the artists joined with ", "
    std::string album;
    std::string status = "Nothing playing";
    std::string player;
    double position = 0; // seconds
    double length = 0; // seconds
    double progress = 0; // percent
    std::string positionText = "0:00";
    std::string lengthText = "0:00";
};

// The player to follow: the one that most recently started playing, else the most recently
// playing of the paused ones, else any; when `pinned` is set, only players one of whose names it
// names count (two instances of one player may both be named).
const PlayerState* ChoosePlayer(const std::vector<PlayerState>& players, const std::string& pinned);

NowPlaying Describe(const PlayerState* player, Clock::time_point now);

// "3:07", or "1:02:03" from an hour on.
std::string PlayingTime(double seconds);

} // namespace pixtera::media
