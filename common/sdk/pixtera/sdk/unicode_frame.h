// SPDX-License-Identifier: MIT
#pragma once
// A Unicode frame (IDisplayUnicodeFrame) for a module with a character ROM: its cells as code
// points, and what each cell wants of the module: its ROM code, the design's own user character,
// or a letter the ROM lacks drawn in a slot (user_character_allocator.h shares the slots).

#include <pixtera/sdk/drawn_glyph.h>
#include <pixtera/sdk/user_character_allocator.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::lcd {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code points of UTF-16 text, at most `maxCells` of them; an unpaired surrogate is U+FFFD.
inline std::u32string FrameCells(std::u16string_view utf16, std::size_t maxCells)
{
    std::u32string cells;
    cells.reserve(std::min(utf16.size(), maxCells));
    for (std::size_t i = 0; i < utf16.size() && cells.size() < maxCells; ++i) {
        const char16_t unit = utf16[i];
        const bool high = unit >= 0xD800 && unit < 0xDC00;
        const bool low = unit >= 0xDC00 && unit < 0xE000;
        if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000) {
            cells.push_back(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(utf16[i + 1]) - 0xDC00));
            ++i;
        } else {
            cells.push_back(high || low ? kReplacementCharacter : char32_t(unit));
        }
    }
    return cells;
}

// A drawn cell on `rom`: the ROM's own sign where it has one, else its drawing in a slot, or the
// placeholder for a code point no table has.
inline WantedCell DrawnWantedCell(CharacterRom rom, char32_t c)
{
    if (const auto cell = DrawnGlyphCell(rom, c))
        return *cell;
    return RomCell(kPlaceholderCode);
}

// What each cell wants on `rom`: code points 1-15 the design's user character (code & 7) with its
// rows from `userCharacters`, a NUL a space, a drawn code point (drawn_glyph.h) its drawing, anything
// else its letter (LetterCell).
inline std::vector<WantedCell> WantedCells(CharacterRom rom, std::u32string_view cells,
                                           std::span<const Glyph, kUserSlots> userCharacters)
{
    std::vector<WantedCell> wanted;
    wanted.reserve(cells.size());
    for (char32_t c : cells) {
        if (c == 0)
            wanted.push_back(RomCell(' '));
        else if (c < 16)
            wanted.push_back(DesignCell(static_cast<std::uint8_t>(c & 7), userCharacters[c & 7]));
        else if (IsDrawnGlyph(c))
            wanted.push_back(DrawnWantedCell(rom, c));
        else
            wanted.push_back(LetterCell(rom, c));
    }
    return wanted;
}

} // namespace pixtera::lcd
