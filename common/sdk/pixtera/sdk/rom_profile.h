// SPDX-License-Identifier: MIT
#pragma once
// A ROM profile: any Unicode code point to the code a module with that ROM shows it as. A code
// point is either on the ROM (its own glyph, or an identical one: Cyrillic А is Latin A), or has
// a look-alike the ROM shows (Ä as A, a small Cyrillic letter as its capital, ß as β), or is
// missing and shows as the placeholder '?', never as another letter. What the ROM lacks is what
// the user characters can draw (user_character_allocator.h).

#include <pixtera/sdk/rom_charts.h>

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace pixtera::lcd {

enum class Match : std::uint8_t {
    Exact, // the ROM shows the character itself
    LookAlike, // the ROM shows a stand-in that reads the same
    Missing, // the ROM has nothing close: the placeholder
};

struct RomCode {
    Match match;
    std::uint8_t code;
    bool operator==(const RomCode&) const = default;
};

// What a ROM shows for a character it has nothing close to.
inline constexpr std::uint8_t kPlaceholderCode = '?';

namespace rom_detail {

// Code points whose glyph is the same as another's, so the ROM shows one for the other.
// clang-format off
inline constexpr std::pair<char32_t, char32_t> kTwins[] = {
    // Cyrillic letters that are Latin ones on a 5x8 matrix
    {U'А', U'A'}, {U'В', U'B'}, {U'Е', U'E'}, {U'К', U'K'}, {U'М', U'M'}, {U'Н', U'H'}, {U'О', U'O'},
    {U'Р', U'P'}, {U'С', U'C'}, {U'Т', U'T'}, {U'Х', U'X'}, {U'Ѕ', U'S'}, {U'І', U'I'}, {U'Ј', U'J'},
    {U'а', U'a'}, {U'е', U'e'}, {U'о', U'o'}, {U'р', U'p'}, {U'с', U'c'}, {U'у', U'y'}, {U'х', U'x'},
    {U'ѕ', U's'}, {U'і', U'i'}, {U'ј', U'j'},
    // Greek likewise
    {U'Α', U'A'}, {U'Β', U'B'}, {U'Ε', U'E'}, {U'Ζ', U'Z'}, {U'Η', U'H'}, {U'Ι', U'I'}, {U'Κ', U'K'},
    {U'Μ', U'M'}, {U'Ν', U'N'}, {U'Ο', U'O'}, {U'Ρ', U'P'}, {U'Τ', U'T'}, {U'Υ', U'Y'}, {U'Χ', U'X'},
    {U'ο', U'o'},
    // Cyrillic and Greek capitals drawn alike
    {U'Г', U'Γ'}, {U'Γ', U'Г'}, {U'П', U'Π'}, {U'Π', U'П'}, {U'Ф', U'Φ'}, {U'Φ', U'Ф'},
    // one sign, two code points
    {U'\u03BC', U'\u00B5'}, {U'\u00B5', U'\u03BC'}, {U'\u2126', U'\u03A9'}, {U'\u03A9', U'\u2126'},
    {U'\u00A0', U' '}, {U'\u2212', U'-'}, {U'\u2010', U'-'}, {U'\u2011', U'-'},
};

// Stand-ins that read the same: accents dropped, marks simplified (what Windows-1252 frames have
// always shown), and the Latin Extended-A letters as their base letters.
inline constexpr std::pair<char32_t, char> kPlainLookAlikes[] = {
    {0x00A0, ' '}, {0x00A1, '!'}, {0x00A2, 'c'}, {0x00A3, 'L'}, {0x00A4, 'o'}, {0x00A5, 'Y'},
    {0x00A6, '|'}, {0x00A7, 'S'}, {0x00A8, '"'}, {0x00A9, 'c'}, {0x00AA, 'a'}, {0x00AB, '<'},
    {0x00AC, '-'}, {0x00AD, '-'}, {0x00AE, 'R'}, {0x00AF, '-'}, {0x00B0, 'o'}, {0x00B1, '+'},
    {0x00B2, '2'}, {0x00B3, '3'}, {0x00B4, '\''}, {0x00B5, 'u'}, {0x00B6, 'P'}, {0x00B7, '.'},
    {0x00B8, ','}, {0x00B9, '1'}, {0x00BA, 'o'}, {0x00BB, '>'}, {0x00BC, '/'}, {0x00BD, '/'},
    {0x00BE, '/'}, {0x00BF, '?'}, {0x00C0, 'A'}, {0x00C1, 'A'}, {0x00C2, 'A'}, {0x00C3, 'A'},
    {0x00C4, 'A'}, {0x00C5, 'A'}, {0x00C6, 'A'}, {0x00C7, 'C'}, {0x00C8, 'E'}, {0x00C9, 'E'},
    {0x00CA, 'E'}, {0x00CB, 'E'}, {0x00CC, 'I'}, {0x00CD, 'I'}, {0x00CE, 'I'}, {0x00CF, 'I'},
    {0x00D0, 'D'}, {0x00D1, 'N'}, {0x00D2, 'O'}, {0x00D3, 'O'}, {0x00D4, 'O'}, {0x00D5, 'O'},
    {0x00D6, 'O'}, {0x00D7, 'x'}, {0x00D8, 'O'}, {0x00D9, 'U'}, {0x00DA, 'U'}, {0x00DB, 'U'},
    {0x00DC, 'U'}, {0x00DD, 'Y'}, {0x00DE, 'P'}, {0x00DF, 'B'}, {0x00E0, 'a'}, {0x00E1, 'a'},
    {0x00E2, 'a'}, {0x00E3, 'a'}, {0x00E4, 'a'}, {0x00E5, 'a'}, {0x00E6, 'a'}, {0x00E7, 'c'},
    {0x00E8, 'e'}, {0x00E9, 'e'}, {0x00EA, 'e'}, {0x00EB, 'e'}, {0x00EC, 'i'}, {0x00ED, 'i'},
    {0x00EE, 'i'}, {0x00EF, 'i'}, {0x00F0, 'd'}, {0x00F1, 'n'}, {0x00F2, 'o'}, {0x00F3, 'o'},
    {0x00F4, 'o'}, {0x00F5, 'o'}, {0x00F6, 'o'}, {0x00F7, '/'}, {0x00F8, 'o'}, {0x00F9, 'u'},
    {0x00FA, 'u'}, {0x00FB, 'u'}, {0x00FC, 'u'}, {0x00FD, 'y'}, {0x00FE, 'p'}, {0x00FF, 'y'},
    {0x0100, 'A'}, {0x0101, 'a'}, {0x0102, 'A'}, {0x0103, 'a'}, {0x0104, 'A'}, {0x0105, 'a'},
    {0x0106, 'C'}, {0x0107, 'c'}, {0x0108, 'C'}, {0x0109, 'c'}, {0x010A, 'C'}, {0x010B, 'c'},
    {0x010C, 'C'}, {0x010D, 'c'}, {0x010E, 'D'}, {0x010F, 'd'}, {0x0110, 'D'}, {0x0111, 'd'},
    {0x0112, 'E'}, {0x0113, 'e'}, {0x0114, 'E'}, {0x0115, 'e'}, {0x0116, 'E'}, {0x0117, 'e'},
    {0x0118, 'E'}, {0x0119, 'e'}, {0x011A, 'E'}, {0x011B, 'e'}, {0x011C, 'G'}, {0x011D, 'g'},
    {0x011E, 'G'}, {0x011F, 'g'}, {0x0120, 'G'}, {0x0121, 'g'}, {0x0122, 'G'}, {0x0123, 'g'},
    {0x0124, 'H'}, {0x0125, 'h'}, {0x0126, 'H'}, {0x0127, 'h'}, {0x0128, 'I'}, {0x0129, 'i'},
    {0x012A, 'I'}, {0x012B, 'i'}, {0x012C, 'I'}, {0x012D, 'i'}, {0x012E, 'I'}, {0x012F, 'i'},
    {0x0130, 'I'}, {0x0131, 'i'}, {0x0132, 'J'}, {0x0133, 'j'}, {0x0134, 'J'}, {0x0135, 'j'},
    {0x0136, 'K'}, {0x0137, 'k'}, {0x0138, 'k'}, {0x0139, 'L'}, {0x013A, 'l'}, {0x013B, 'L'},
    {0x013C, 'l'}, {0x013D, 'L'}, {0x013E, 'l'}, {0x013F, 'L'}, {0x0140, 'l'}, {0x0141, 'L'},
    {0x0142, 'l'}, {0x0143, 'N'}, {0x0144, 'n'}, {0x0145, 'N'}, {0x0146, 'n'}, {0x0147, 'N'},
    {0x0148, 'n'}, {0x0149, 'n'}, {0x014A, 'N'}, {0x014B, 'n'}, {0x014C, 'O'}, {0x014D, 'o'},
    {0x014E, 'O'}, {0x014F, 'o'}, {0x0150, 'O'}, {0x0151, 'o'}, {0x0152, 'O'}, {0x0153, 'o'},
    {0x0154, 'R'}, {0x0155, 'r'}, {0x0156, 'R'}, {0x0157, 'r'}, {0x0158, 'R'}, {0x0159, 'r'},
    {0x015A, 'S'}, {0x015B, 's'}, {0x015C, 'S'}, {0x015D, 's'}, {0x015E, 'S'}, {0x015F, 's'},
    {0x0160, 'S'}, {0x0161, 's'}, {0x0162, 'T'}, {0x0163, 't'}, {0x0164, 'T'}, {0x0165, 't'},
    {0x0166, 'T'}, {0x0167, 't'}, {0x0168, 'U'}, {0x0169, 'u'}, {0x016A, 'U'}, {0x016B, 'u'},
    {0x016C, 'U'}, {0x016D, 'u'}, {0x016E, 'U'}, {0x016F, 'u'}, {0x0170, 'U'}, {0x0171, 'u'},
    {0x0172, 'U'}, {0x0173, 'u'}, {0x0174, 'W'}, {0x0175, 'w'}, {0x0176, 'Y'}, {0x0177, 'y'},
    {0x0178, 'Y'}, {0x0179, 'Z'}, {0x017A, 'z'}, {0x017B, 'Z'}, {0x017C, 'z'}, {0x017D, 'Z'},
    {0x017E, 'z'}, {0x017F, 'f'}, {0x0192, 'f'}, {0x02C6, '^'}, {0x02DC, '-'}, {0x2013, '-'},
    {0x2014, '-'}, {0x2018, '\''}, {0x2019, '\''}, {0x201A, ','}, {0x201C, '"'}, {0x201D, '"'},
    {0x201E, '"'}, {0x2020, '+'}, {0x2021, '+'}, {0x2022, '.'}, {0x2026, '.'}, {0x2030, '%'},
    {0x2039, '<'}, {0x203A, '>'}, {0x20AC, 'E'}, {0x2122, 'T'},
};

// Stand-ins tried in order, each resolved in turn (a stand-in may have its own).
inline constexpr std::pair<char32_t, std::u32string_view> kLookAlikes[] = {
    {U'\\', U"/"}, {U'~', U"-"}, {U'ß', U"βB"},
    {U'Ё', U"ËЕ"}, {U'ё', U"ëЁ"}, {U'Ї', U"Ï"}, {U'ї', U"ï"}, {U'Ь', U"ь"},
    {U'ς', U"σ"}, {U'Ά', U"Α"}, {U'Έ', U"Ε"}, {U'Ή', U"Η"}, {U'Ί', U"Ι"}, {U'Ό', U"Ο"}, {U'Ύ', U"Υ"},
    {U'Ώ', U"Ω"}, {U'ά', U"α"}, {U'έ', U"ε"}, {U'ή', U"η"}, {U'ί', U"ι"}, {U'ό', U"ο"}, {U'ύ', U"υ"},
    {U'ώ', U"ω"}, {U'ϊ', U"ι"}, {U'ϋ', U"υ"}, {U'ΐ', U"ι"}, {U'ΰ', U"υ"}, {U'Ϊ', U"Ι"}, {U'Ϋ', U"Υ"},
};
// clang-format on

// A small Cyrillic or Greek letter the ROM lacks reads as its capital.
inline char32_t CapitalOf(char32_t c)
{
    if ((c >= U'а' && c <= U'я') || (c >= U'α' && c <= U'ω' && c != U'ς'))
        return c - 0x20;
    if (c >= U'ѐ' && c <= U'џ')
        return c - 0x50;
    return 0;
}

// The first code point of UTF-8 text, when the text is exactly one code point.
inline char32_t SingleCodePoint(std::string_view text)
{
    if (text.empty())
        return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (text.size() != length)
        return 0;
    if (length == 1)
        return lead;
    char32_t c = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i)
        c = c << 6 | (static_cast<unsigned char>(text[i]) & 0x3F);
    return c;
}

// Code point -> the code whose glyph it is (0x20 and up, never 0xFE: the serial command
// prefix); the lowest code where a ROM shows a glyph twice.
using ExactCodes = std::unordered_map<char32_t, std::uint8_t>;

inline ExactCodes BuildExactCodes(CharacterRom rom)
{
    ExactCodes codes;
    for (int code = 0x20; code < 0x100; ++code) {
        const char32_t c = SingleCodePoint(GlyphsOf(rom)[code - 0x10]);
        if (c != 0 && code != 0xFE)
            codes.try_emplace(c, static_cast<std::uint8_t>(code));
    }
    for (const auto& [twin, shown] : kTwins)
        if (const auto found = codes.find(shown); found != codes.end())
            codes.try_emplace(twin, found->second);
    // Half-width katakana are A00's 0xA1-0xDF in order.
    for (char32_t c = 0xFF61; c <= 0xFF9F; ++c) {
        const char32_t shown = SingleCodePoint(kA00[c - 0xFF61 + 0xA1 - 0x10]);
        if (const auto found = codes.find(shown); found != codes.end())
            codes.try_emplace(c, found->second);
    }
    return codes;
}

inline const ExactCodes& ExactCodesOf(CharacterRom rom)
{
    static const std::array<ExactCodes, 3> codes = {BuildExactCodes(CharacterRom::A00),
                                                    BuildExactCodes(CharacterRom::A02),
                                                    BuildExactCodes(CharacterRom::Cyrillic)};
    return codes[static_cast<std::size_t>(rom)];
}

inline std::u32string_view LookAlikesOf(char32_t c)
{
    for (const auto& [character, standIns] : kLookAlikes)
        if (character == c)
            return standIns;
    return {};
}

inline char32_t PlainLookAlikeOf(char32_t c)
{
    for (const auto& [character, plain] : kPlainLookAlikes)
        if (character == c)
            return static_cast<unsigned char>(plain);
    return 0;
}

// Stand-ins chain at most this deep (ё -> Ё -> Е -> E): the tables are ours, the bound keeps a cycle
// (Ь -> ь -> Ь) finite.
inline constexpr int kLookAlikeDepth = 3;

inline std::optional<std::uint8_t> LookAlikeCode(CharacterRom rom, char32_t c, int depth)
{
    if (depth == 0)
        return std::nullopt;
    const ExactCodes& exact = ExactCodesOf(rom);
    auto tryStandIn = [&](char32_t standIn) -> std::optional<std::uint8_t> {
        if (const auto found = exact.find(standIn); found != exact.end())
            return found->second;
        return LookAlikeCode(rom, standIn, depth - 1);
    };
    for (const char32_t standIn : LookAlikesOf(c))
        if (const auto code = tryStandIn(standIn))
            return code;
    if (const char32_t plain = PlainLookAlikeOf(c))
        if (const auto code = tryStandIn(plain))
            return code;
    if (const char32_t capital = CapitalOf(c))
        return tryStandIn(capital);
    return std::nullopt;
}

} // namespace rom_detail

inline bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// How a module with `rom` shows the character `c`. Controls show as a space.
inline RomCode ResolveOnRom(CharacterRom rom, char32_t c)
{
    if (IsControl(c))
        return {Match::LookAlike, ' '};
    const auto& exact = rom_detail::ExactCodesOf(rom);
    if (const auto found = exact.find(c); found != exact.end())
        return {Match::Exact, found->second};
    if (const auto code = rom_detail::LookAlikeCode(rom, c, rom_detail::kLookAlikeDepth))
        return {Match::LookAlike, *code};
    return {Match::Missing, kPlaceholderCode};
}

} // namespace pixtera::lcd
