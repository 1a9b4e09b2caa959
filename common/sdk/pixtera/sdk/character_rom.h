// SPDX-License-Identifier: MIT
#pragma once
// Windows-1252 frames on a module's character ROM: each character goes to the module as the code
// whose glyph it is on that ROM, else as its closest look-alike (Ä as A on A00, a backslash as a
// slash where 0x5C is a Yen sign), never as a code that shows something else. Codes 0-15 are the
// user characters and pass unchanged. A view over the ROM profiles (rom_profile.h).

// Header-only: the native drivers, pixtera-render and third-party drivers share it.

#include <pixtera/sdk/rom_profile.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pixtera::lcd {

namespace rom_detail {

// Windows-1252 0x80-0x9F as code points (0: undefined).
// clang-format off
inline constexpr char32_t kWindows1252Low[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};
// clang-format on

using Table = std::array<std::uint8_t, 256>;

inline Table Build(CharacterRom rom)
{
    Table table{};
    for (int c = 0; c < 0x100; ++c) {
        const char32_t character = c >= 0x80 && c < 0xA0 ? kWindows1252Low[c - 0x80] : static_cast<char32_t>(c);
        if (c < 0x10)
            table[c] = static_cast<std::uint8_t>(c); // the user characters
        else if (character == 0 || IsControl(character))
            table[c] = ' ';
        else
            table[c] = ResolveOnRom(rom, character).code;
    }
    return table;
}

inline const Table& TableOf(CharacterRom rom)
{
    static const std::array<Table, 3> tables = {Build(CharacterRom::A00), Build(CharacterRom::A02),
                                                Build(CharacterRom::Cyrillic)};
    return tables[static_cast<std::size_t>(rom)];
}

} // namespace rom_detail

// The code point a Windows-1252 character stands for (0 for the five undefined codes).
inline char32_t FromWindows1252(std::uint8_t character)
{
    return character >= 0x80 && character < 0xA0 ? rom_detail::kWindows1252Low[character - 0x80] : character;
}

inline std::uint8_t ToModule(CharacterRom rom, std::uint8_t character) { return rom_detail::TableOf(rom)[character]; }

inline std::string ToModule(CharacterRom rom, std::string_view text)
{
    std::string codes(text);
    for (char& c : codes)
        c = static_cast<char>(ToModule(rom, static_cast<std::uint8_t>(c)));
    return codes;
}

} // namespace pixtera::lcd
