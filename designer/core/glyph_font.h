// SPDX-License-Identifier: MIT
#pragma once
// The preview's character set: 8 rows of 6 dots per glyph, bits 0x20 (left) to 0x01 (right).
// Codes 1 to 8 are the bar and level cells (bottom k rows lit, 8 a full block), then each module
// code shows its ROM's glyph: the chart's where the ROM differs from ASCII or goes beyond it, the
// ASCII font for 0x20 to 0x7F; every other code is blank.

#include <array>
#include <cstdint>

#include <pixtera/sdk/character_rom.h>

namespace pixtera::designer {

using Glyph = std::array<std::uint8_t, 8>;

// The glyph a module with that ROM shows for a module code.
const Glyph& GlyphOf(unsigned char code, lcd::CharacterRom rom);

} // namespace pixtera::designer
