// SPDX-License-Identifier: MIT
#pragma once
// A small set of 5x8 icons a text can hold as a character: icon n is U+F080 + n, and has a name
// designs and the designer use. The order is part of the design format: icons are only ever
// added at the end.

#include <pixtera/sdk/letter_font.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace pixtera::lcd {

inline constexpr char32_t kIconCodeFirst = 0xF080;

struct DrawnIcon {
    std::string_view name;
    Glyph rows;
    // A character whose ROM glyph stands for the icon (A00's degree sign, A02's heart): where the
    // ROM shows it, the icon is the ROM's and takes no slot. 0: none.
    char32_t twin;
    // Tried in order on the module's ROM when no slot is left; the first it shows as itself is
    // written (else the last one's look-alike).
    std::u32string_view fallbacks;
};

namespace icon_detail {

// A battery standing up, its cell filled `level` of four steps from the bottom.
constexpr Glyph Battery(int level)
{
    Glyph rows = {0x0E, 0x1F, 0x11, 0x11, 0x11, 0x11, 0x1F, 0x00};
    for (int step = 0; step < level; ++step)
        rows[static_cast<std::size_t>(5 - step)] = 0x1F;
    return rows;
}

// Three signal bars growing to the right, `bars` of them lit; their feet always show.
constexpr Glyph SignalBars(int bars)
{
    Glyph rows{};
    constexpr std::uint8_t kColumn[3] = {0x10, 0x04, 0x01};
    constexpr std::size_t kTop[3] = {5, 3, 1};
    for (std::size_t bar = 0; bar < 3; ++bar)
        for (std::size_t row = 0; row < rows.size(); ++row)
            if (row == 7 || (static_cast<int>(bar) < bars && row >= kTop[bar]))
                rows[row] = static_cast<std::uint8_t>(rows[row] | kColumn[bar]);
    return rows;
}

} // namespace icon_detail

// clang-format off
inline constexpr DrawnIcon kDrawnIcons[] = {
    {"up", {0x04, 0x0E, 0x15, 0x04, 0x04, 0x04, 0x04, 0x00}, U'\u2191', U"^"},
    {"down", {0x04, 0x04, 0x04, 0x04, 0x15, 0x0E, 0x04, 0x00}, U'\u2193', U"v"},
    {"left", {0x00, 0x04, 0x08, 0x1F, 0x08, 0x04, 0x00, 0x00}, U'\u2190', U"<"},
    {"right", {0x00, 0x04, 0x02, 0x1F, 0x02, 0x04, 0x00, 0x00}, U'\u2192', U">"},
    {"battery0", icon_detail::Battery(0), 0, U"0"},
    {"battery1", icon_detail::Battery(1), 0, U"1"},
    {"battery2", icon_detail::Battery(2), 0, U"2"},
    {"battery3", icon_detail::Battery(3), 0, U"3"},
    {"battery4", icon_detail::Battery(4), 0, U"4"},
    {"wifi0", icon_detail::SignalBars(0), 0, U"0"},
    {"wifi1", icon_detail::SignalBars(1), 0, U"1"},
    {"wifi2", icon_detail::SignalBars(2), 0, U"2"},
    {"wifi3", icon_detail::SignalBars(3), 0, U"3"},
    {"heart", {0x00, 0x0A, 0x1F, 0x1F, 0x1F, 0x0E, 0x04, 0x00}, U'\u2665', U"*"},
    {"bell", {0x04, 0x0E, 0x0E, 0x0E, 0x1F, 0x00, 0x04, 0x00}, U'\U0001F514', U"!"},
    {"play", {0x08, 0x0C, 0x0E, 0x0F, 0x0E, 0x0C, 0x08, 0x00}, U'\u25B6', U">"},
    {"pause", {0x00, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x1B, 0x00}, 0, U"|"},
    {"degree", {0x0C, 0x12, 0x12, 0x0C, 0x00, 0x00, 0x00, 0x00}, U'\u00B0', U"\u00BAo"},
};
// clang-format on

inline constexpr std::size_t kDrawnIconCount = std::size(kDrawnIcons);

inline const DrawnIcon* IconOf(char32_t c)
{
    if (c < kIconCodeFirst || c >= kIconCodeFirst + kDrawnIconCount)
        return nullptr;
    return &kDrawnIcons[c - kIconCodeFirst];
}

// The code point of the icon with that name (exactly, as listed).
inline std::optional<char32_t> IconByName(std::string_view name)
{
    for (std::size_t i = 0; i < kDrawnIconCount; ++i)
        if (kDrawnIcons[i].name == name)
            return kIconCodeFirst + static_cast<char32_t>(i);
    return std::nullopt;
}

} // namespace pixtera::lcd
