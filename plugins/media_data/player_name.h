// SPDX-License-Identifier: MIT
#pragma once
// Which player a bus name is. An MPRIS2 player owns org.mpris.MediaPlayer2.<name>, and a second
// instance of it the same with ".instance<id>" after it (vlc.instance7389, firefox.instance_1_7):
// the player's name is what follows the prefix, up to such a suffix. A name may have dots of its
// own (io.github.celluloid_player.Celluloid), so nothing else is cut.

#include <string_view>

namespace pixtera::media {

inline constexpr std::string_view kMprisPrefix = "org.mpris.MediaPlayer2.";

// The player's name in `busName` (a view into it), or empty for a name that is no player's.
std::string_view PlayerName(std::string_view busName);

// Whether `busName` is the player that `wanted` names: the player's name, whole and in any case.
// `wanted` may be written as a whole bus name or with an instance suffix; it is read the same way.
bool NamesPlayer(std::string_view wanted, std::string_view busName);

} // namespace pixtera::media
