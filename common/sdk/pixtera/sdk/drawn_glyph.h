// SPDX-License-Identifier: MIT
#pragma once
// Cells that are drawn rather than written: bar segments, parts of big digits and icons. They
// travel in a Unicode frame as code points of a private-use block of Pixtera's own, so a frame
// stays one code point a cell, and become user characters where the module is written (or their
// ROM fallback when the eight slots are taken).

#include <pixtera/sdk/big_digits.h>
#include <pixtera/sdk/drawn_icons.h>
#include <pixtera/sdk/user_character_allocator.h>

#include <optional>
#include <string_view>

namespace pixtera::lcd {

inline constexpr char32_t kDrawnGlyphFirst = 0xF000;
inline constexpr char32_t kBarSegmentFirst = 0xF000; // up to 0xF03F
inline constexpr char32_t kBigDigitPartFirst = 0xF040; // up to 0xF07F
inline constexpr char32_t kIconFirst = 0xF080; // up to 0xF0FF
inline constexpr char32_t kDrawnGlyphEnd = 0xF100;
static_assert(kBigDigitPartCodeFirst == kBigDigitPartFirst && kBigDigitPartFirst + kBigDigitParts <= kIconFirst);
static_assert(kIconCodeFirst == kIconFirst && kIconFirst + kDrawnIconCount <= kDrawnGlyphEnd);

struct DrawnGlyph {
    SlotUse use = SlotUse::BigDigitOrIcon;
    Glyph rows{};
    std::uint8_t fallback = ' '; // the ROM code shown when no slot is left
    bool onRom = false; // the ROM shows this very glyph as `fallback`: it needs no slot
};

inline constexpr bool IsDrawnGlyph(char32_t c) { return c >= kDrawnGlyphFirst && c < kDrawnGlyphEnd; }

namespace drawn_detail {

// The first fallback the ROM shows as itself, else what it shows for the last one.
inline std::uint8_t FallbackOn(CharacterRom rom, std::u32string_view fallbacks)
{
    for (char32_t c : fallbacks)
        if (const RomCode shown = ResolveOnRom(rom, c); shown.match == Match::Exact)
            return shown.code;
    return fallbacks.empty() ? std::uint8_t{' '} : ResolveOnRom(rom, fallbacks.back()).code;
}

inline DrawnGlyph Drawn(CharacterRom rom, const Glyph& rows, char32_t twin, std::u32string_view fallbacks)
{
    if (twin != 0)
        if (const RomCode own = ResolveOnRom(rom, twin); own.match == Match::Exact)
            return {SlotUse::BigDigitOrIcon, rows, own.code, true};
    return {SlotUse::BigDigitOrIcon, rows, FallbackOn(rom, fallbacks), false};
}

} // namespace drawn_detail

// The glyph a drawn code point stands for on a module with `rom`; none for a code point no table
// has (shown as '?'). Bar segments are not drawn here yet.
inline std::optional<DrawnGlyph> DrawnGlyphFor(char32_t c, CharacterRom rom = CharacterRom::A00)
{
    if (const BigDigitPartGlyph* part = BigDigitPartOf(c))
        return drawn_detail::Drawn(rom, part->rows, part->twin, part->fallbacks);
    if (const DrawnIcon* icon = IconOf(c))
        return drawn_detail::Drawn(rom, icon->rows, icon->twin, icon->fallbacks);
    return std::nullopt;
}

// What a cell showing drawn code point `c` wants of a module with `rom`: the ROM's own glyph
// where it has it, else a slot with its fallback; none for a code point no table has.
inline std::optional<WantedCell> DrawnGlyphCell(CharacterRom rom, char32_t c)
{
    const auto drawn = DrawnGlyphFor(c, rom);
    if (!drawn)
        return std::nullopt;
    return drawn->onRom ? RomCell(drawn->fallback) : DrawnCell(drawn->use, drawn->rows, drawn->fallback);
}

} // namespace pixtera::lcd
