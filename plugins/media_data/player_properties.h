// SPDX-License-Identifier: MIT
#pragma once
// What the properties of a player's org.mpris.MediaPlayer2.Player interface say, applied to its
// state. A player may send anything: values of other types are passed over (Metadata that is no
// map of fields leaves the track as it was), texts and lists are cut to what a display could show,
// a status other than the three there are is ignored, and so is a rate that is no number or beyond
// reason.

#include "mpris_messages.h"
#include "now_playing.h"

#include <cstddef>
#include <string>

namespace pixtera::media {

inline constexpr std::size_t kMaxTextBytes = 512;
inline constexpr std::size_t kMaxArtists = 16;

void ApplyProperties(PlayerState& player, const Properties& properties, Clock::time_point now);

// `text` cut to at most kMaxTextBytes, never inside a UTF-8 sequence.
std::string BoundedText(std::string text);

} // namespace pixtera::media
