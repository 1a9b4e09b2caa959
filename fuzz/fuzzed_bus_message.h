// SPDX-License-Identifier: MIT
#pragma once
// A D-Bus message made from fuzz bytes: arguments of types the bytes choose (texts, numbers,
// flags, variants, arrays, dictionaries, structs, nested at most kMaxDepth deep), as any program
// on a bus may send them. The bytes are read front to back; past their end they read as zero.

#include <sdbus-c++/sdbus-c++.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace pixtera::fuzz {

inline constexpr int kMaxDepth = 6; // a player's Metadata is five deep: a{sv}, v, a{sv}, v, as

// The sealed message, ready to be read; nothing when the library refused what the bytes made.
std::optional<sdbus::PlainMessage> FuzzedBusMessage(std::span<const std::uint8_t> bytes);

// Back to the start of its arguments, for the next reader.
void Rewind(sdbus::Message& message);

} // namespace pixtera::fuzz
