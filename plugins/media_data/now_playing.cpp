// SPDX-License-Identifier: MIT
#include "now_playing.h"

#include "player_name.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pixtera::media {

double PlayerState::PositionAt(Clock::time_point now) const
{
    double seconds = position;
    if (status == "Playing" && now > positionAt)
        seconds += std::chrono::duration<double>(now - positionAt).count() * rate;
    if (length && *length > 0)
        seconds = std::min(seconds, *length);
    return std::max(0.0, seconds);
}

void PlayerState::Settle(Clock::time_point now)
{
    position = PositionAt(now);
    positionAt = now;
}

const PlayerState* ChoosePlayer(const std::vector<PlayerState>& players, const std::string& pinned)
{
    const PlayerState* chosen = nullptr;
    auto rank = [](const PlayerState& player) {
        return player.status == "Playing" ? 2 : player.status == "Paused" ? 1 : 0;
    };
    for (const auto& player : players) {
        if (!pinned.empty() && std::none_of(player.busNames.begin(), player.busNames.end(),
                                            [&](const std::string& name) { return NamesPlayer(pinned, name); }))
            continue;
        if (!chosen || rank(player) > rank(*chosen) ||
            (rank(player) == rank(*chosen) && player.startedPlaying > chosen->startedPlaying))
            chosen = &player;
    }
    return chosen;
}

std::string PlayingTime(double seconds)
{
    // Past any track's length: what a player made up still reads as a time.
    constexpr double kMaxSeconds = 1e9;
    const long total = std::lround(std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, kMaxSeconds));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

NowPlaying Describe(const PlayerState* player, Clock::time_point now)
{
    NowPlaying playing;
    if (!player)
        return playing;
    playing.title = player->title;
    for (const auto& artist : player->artists)
        playing.artist += (playing.artist.empty() ? "" : ", ") + artist;
    playing.album = player->album;
    playing.status = player->status;
    playing.player = player->identity;
    playing.position = player->PositionAt(now);
    playing.length = player->length.value_or(0);
    playing.progress = playing.length > 0 ? std::min(100.0, 100.0 * playing.position / playing.length) : 0;
    playing.positionText = PlayingTime(playing.position);
    playing.lengthText = PlayingTime(playing.length);
    return playing;
}

} // namespace pixtera::media
