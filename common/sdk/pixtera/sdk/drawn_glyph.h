// SPDX-License-Identifier: MIT
#pragma once
// Cells that are drawn rather than written: bar segments, parts of big digits and icons. They
// travel in a Unicode frame as code points of a private-use block of Pixtera's own, so a frame
// stays one code point a cell, and become user characters where the module is written (or their
// ROM fallback when the eight slots are taken).

#include <pixtera/sdk/user_character_allocator.h>

#include <optional>

namespace pixtera::lcd {

inline constexpr char32_t kDrawnGlyphFirst = 0xF000;
inline constexpr char32_t kBarSegmentFirst = 0xF000; // up to 0xF03F
inline constexpr char32_t kBigDigitPartFirst = 0xF040; // up to 0xF07F
inline constexpr char32_t kIconFirst = 0xF080; // up to 0xF0FF
inline constexpr char32_t kDrawnGlyphEnd = 0xF100;

struct DrawnGlyph {
    SlotUse use = SlotUse::BigDigitOrIcon;
    Glyph rows{};
    std::uint8_t fallback = ' '; // the ROM code shown when no slot is left
};

inline constexpr bool IsDrawnGlyph(char32_t c) { return c >= kDrawnGlyphFirst && c < kDrawnGlyphEnd; }

// The glyph a drawn code point stands for; none for a code point no table has (shown as '?').
inline std::optional<DrawnGlyph> DrawnGlyphFor(char32_t c)
{
    (void)c;
    return std::nullopt;
}

} // namespace pixtera::lcd
