// SPDX-License-Identifier: MIT
#pragma once
// The character ROMs' own glyphs for the preview, read from the chart files in rom_glyphs/ (built
// into the program): a code, what it shows, eight rows of five dots.

#include "glyph_font.h"

#include <pixtera/sdk/character_rom.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::designer {

struct RomGlyphs {
    std::array<std::optional<Glyph>, 256> glyphs;
    std::array<std::string, 256> names; // what each listed glyph shows ("blank" for none)
    std::vector<std::string> problems; // lines that are not of the format
};

RomGlyphs ParseRomGlyphs(std::string_view text);

// The chart of a ROM, parsed once.
const RomGlyphs& ChartOf(lcd::CharacterRom rom);

} // namespace pixtera::designer
