// SPDX-License-Identifier: MIT
#pragma once
// An item's name on the broker, one-to-one: two items never share a topic or a Home Assistant
// entity, and no item ever lands on one of the bridge's own topics.

#include <array>
#include <string>
#include <string_view>

namespace pixtera::bridge {

// The first topic levels under pixtera/<machine>/ that are the bridge's own.
inline constexpr std::array<std::string_view, 3> kReservedLevels{"status", "display", "message"};

// Where an item's value goes under pixtera/<machine>/: its name, with every character a topic
// cannot carry (+, #, control characters, non-characters) and % itself as %XX per byte; a name
// whose first level is reserved or starts with _ gets one more _ in front ("status" is
// "_status", "_x" is "__x"). Names of neither kind, nearly all, are their own topic.
std::string ValueTopicName(std::string_view item);

// Home Assistant's id of an item: A-Z a-z 0-9 and _ as they are, every other byte -XX (lower-case
// hex); the empty name "-". Fit for a discovery topic's level, and reversible.
std::string ItemObjectId(std::string_view item);

// Readable but not one-to-one: lower case, anything outside a-z 0-9 - as _.
std::string ReadableId(std::string_view text);

} // namespace pixtera::bridge
