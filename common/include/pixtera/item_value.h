// SPDX-License-Identifier: MIT
#pragma once
// The text a display item shows: its static text, or its data value converted between byte
// units and formatted with its digits.

#include <pixtera/display_item.h>
#include <pixtera/value_source.h>

#include <optional>
#include <string>

namespace pixtera {

// Digits outside this range are clamped: a negative count means none, and the printed number
// must stay bounded.
inline constexpr LONG kMaxDigits = 100;

// The item's text in UTF-8; none for a static item without text.
std::optional<std::string> ItemText(const DisplayItem& item, ValueSource& values);

} // namespace pixtera
