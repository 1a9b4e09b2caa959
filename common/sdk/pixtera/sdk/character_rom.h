// SPDX-License-Identifier: MIT
#pragma once
// The character generator ROMs of HD44780 modules: A00 (the Japanese standard font, the commonest)
// and A02 (the European font). Frames are Windows-1252; each character goes to the module as the
// code whose glyph it is on that ROM, else as its closest look-alike (Ä as A on A00, a backslash as
// a slash where 0x5C is a Yen sign), never as a code that shows something else. Codes 0-15 are the
// user characters and pass unchanged.

// Header-only: the native drivers, pixtera-render and third-party drivers share it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixtera::lcd {

enum class CharacterRom { A00, A02 };

namespace rom_detail {

// What each ROM shows for codes 0x10-0xFF, one UTF-8 glyph per code ("" for no glyph, drawn
// blank). From the controller's character charts.
// The tables keep the charts' sixteen codes a row.
// clang-format off
inline constexpr const char* kA00[240] = {
    // 0x10-0x1F: no glyphs
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    // 0x20-0x7F: ASCII but for 0x5C (Yen sign), 0x7E (right arrow) and 0x7F (left arrow)
    " ", "!", "\"", "#", "$", "%", "&", "'", "(", ")", "*", "+", ",", "-", ".", "/",
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ":", ";", "<", "=", ">", "?",
    "@", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O",
    "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "[", "¥", "]", "^", "_",
    "`", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
    "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "{", "|", "}", "→", "←",
    // 0x80-0x9F: no glyphs
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    // 0xA0-0xDF: katakana and Japanese punctuation
    " ", "。", "「", "」", "、", "・", "ヲ", "ァ", "ィ", "ゥ", "ェ", "ォ", "ャ", "ュ", "ョ", "ッ",
    "ー", "ア", "イ", "ウ", "エ", "オ", "カ", "キ", "ク", "ケ", "コ", "サ", "シ", "ス", "セ", "ソ",
    "タ", "チ", "ツ", "テ", "ト", "ナ", "ニ", "ヌ", "ネ", "ノ", "ハ", "ヒ", "フ", "ヘ", "ホ", "マ",
    "ミ", "ム", "メ", "モ", "ヤ", "ユ", "ヨ", "ラ", "リ", "ル", "レ", "ロ", "ワ", "ン", "゛", "°",
    // 0xE0-0xFF: Greek, mathematical and Latin extras
    "α", "ä", "β", "ε", "µ", "σ", "ρ", "g", "√", "⁻¹", "j", "ˣ", "¢", "£", "ñ", "ö",
    "p", "q", "θ", "∞", "Ω", "ü", "Σ", "π", "x̄", "y", "千", "万", "円", "÷", " ", "█",
};

inline constexpr const char* kA02[240] = {
    // 0x10-0x1F: arrows, quotes and marks
    "▶", "◀", "“", "”", "⏫", "⏬", "●", "↵", "↑", "↓", "→", "←", "≤", "≥", "▲", "▼",
    // 0x20-0x7F: ASCII, and a house at 0x7F
    " ", "!", "\"", "#", "$", "%", "&", "'", "(", ")", "*", "+", ",", "-", ".", "/",
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ":", ";", "<", "=", ">", "?",
    "@", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O",
    "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "[", "\\", "]", "^", "_",
    "`", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
    "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "{", "|", "}", "~", "⌂",
    // 0x80-0x9F: Cyrillic and Greek
    "Б", "Д", "Ж", "З", "И", "Й", "Л", "П", "У", "Ц", "Ч", "Ш", "Щ", "Ъ", "Ы", "Э",
    "α", "♪", "Γ", "π", "Σ", "σ", "♬", "τ", "🔔", "Θ", "Ω", "δ", "∞", "♥", "ε", "∩",
    // 0xA0-0xBF: Latin-1 punctuation, mostly
    " ", "¡", "¢", "£", "¤", "¥", "¦", "§", "ƒ", "©", "ª", "«", "Ю", "Я", "®", "‘",
    "°", "±", "²", "³", "₧", "µ", "¶", "·", "ω", "¹", "º", "»", "¼", "½", "¾", "¿",
    // 0xC0-0xFF: the Latin-1 letters
    "À", "Á", "Â", "Ã", "Ä", "Å", "Æ", "Ç", "È", "É", "Ê", "Ë", "Ì", "Í", "Î", "Ï",
    "Ð", "Ñ", "Ò", "Ó", "Ô", "Õ", "Ö", "×", "Ø", "Ù", "Ú", "Û", "Ü", "Ý", "Þ", "ß",
    "à", "á", "â", "ã", "ä", "å", "æ", "ç", "è", "é", "ê", "ë", "ì", "í", "î", "ï",
    "ð", "ñ", "ò", "ó", "ô", "õ", "ö", "÷", "ø", "ù", "ú", "û", "ü", "ý", "þ", "ÿ",
};

// Windows-1252 0x80-0xFF as UTF-8 (undefined codes as "").
inline constexpr const char* kWindows1252High[128] = {
    "€", "", "‚", "ƒ", "„", "…", "†", "‡", "ˆ", "‰", "Š", "‹", "Œ", "", "Ž", "",
    "", "‘", "’", "“", "”", "•", "–", "—", "˜", "™", "š", "›", "œ", "", "ž", "Ÿ",
    " ", "¡", "¢", "£", "¤", "¥", "¦", "§", "¨", "©", "ª", "«", "¬", "-", "®", "¯",
    "°", "±", "²", "³", "´", "µ", "¶", "·", "¸", "¹", "º", "»", "¼", "½", "¾", "¿",
    "À", "Á", "Â", "Ã", "Ä", "Å", "Æ", "Ç", "È", "É", "Ê", "Ë", "Ì", "Í", "Î", "Ï",
    "Ð", "Ñ", "Ò", "Ó", "Ô", "Õ", "Ö", "×", "Ø", "Ù", "Ú", "Û", "Ü", "Ý", "Þ", "ß",
    "à", "á", "â", "ã", "ä", "å", "æ", "ç", "è", "é", "ê", "ë", "ì", "í", "î", "ï",
    "ð", "ñ", "ò", "ó", "ô", "õ", "ö", "÷", "ø", "ù", "ú", "û", "ü", "ý", "þ", "ÿ",
};

// The closest plain character for what a ROM lacks: accents dropped, marks simplified.
inline constexpr char kLookAlike[128] = {
    'E', ' ', ',', 'f', '"', '.', '+', '+', '^', '%', 'S', '<', 'O', ' ', 'Z', ' ',
    ' ', '\'', '\'', '"', '"', '.', '-', '-', '-', 'T', 's', '>', 'o', ' ', 'z', 'Y',
    ' ', '!', 'c', 'L', 'o', 'Y', '|', 'S', '"', 'c', 'a', '<', '-', '-', 'R', '-',
    'o', '+', '2', '3', '\'', 'u', 'P', '.', ',', '1', 'o', '>', '/', '/', '/', '?',
    'A', 'A', 'A', 'A', 'A', 'A', 'A', 'C', 'E', 'E', 'E', 'E', 'I', 'I', 'I', 'I',
    'D', 'N', 'O', 'O', 'O', 'O', 'O', 'x', 'O', 'U', 'U', 'U', 'U', 'Y', 'P', 'B',
    'a', 'a', 'a', 'a', 'a', 'a', 'a', 'c', 'e', 'e', 'e', 'e', 'i', 'i', 'i', 'i',
    'd', 'n', 'o', 'o', 'o', 'o', 'o', '/', 'o', 'u', 'u', 'u', 'u', 'y', 'p', 'y',
};
// clang-format on

using Table = std::array<std::uint8_t, 256>;

// The code whose glyph is `glyph` on `rom` (0x20 and up, never 0xFE: the serial command
// prefix), or none.
inline std::optional<std::uint8_t> CodeOf(const char* const (&rom)[240], std::string_view glyph)
{
    if (glyph.empty())
        return std::nullopt;
    for (int code = 0x20; code < 0x100; ++code)
        if (code != 0xFE && glyph == rom[code - 0x10])
            return static_cast<std::uint8_t>(code);
    return std::nullopt;
}

inline Table Build(const char* const (&rom)[240])
{
    Table table{};
    for (int c = 0; c < 0x10; ++c)
        table[c] = static_cast<std::uint8_t>(c); // the user characters
    for (int c = 0x10; c < 0x20; ++c)
        table[c] = ' ';
    for (int c = 0x20; c < 0x80; ++c) {
        const char ascii[2] = {static_cast<char>(c), 0};
        table[c] = CodeOf(rom, ascii).value_or(' ');
    }
    // Where the ROM puts another glyph on an ASCII code, its look-alike.
    if (table['\\'] == ' ')
        table['\\'] = '/';
    if (table['~'] == ' ')
        table['~'] = '-';
    table[0x7F] = ' ';
    for (int c = 0x80; c < 0x100; ++c) {
        const std::string_view glyph = kWindows1252High[c - 0x80];
        const auto code = CodeOf(rom, glyph);
        table[c] = code ? *code : static_cast<std::uint8_t>(kLookAlike[c - 0x80]);
    }
    // Glyphs close enough to stand for a character: a beta for the sharp s.
    if (const auto beta = CodeOf(rom, "β"); beta && table[0xDF] == static_cast<std::uint8_t>(kLookAlike[0xDF - 0x80]))
        table[0xDF] = *beta;
    return table;
}

inline const Table& TableOf(CharacterRom rom)
{
    static const Table a00 = Build(kA00);
    static const Table a02 = Build(kA02);
    return rom == CharacterRom::A00 ? a00 : a02;
}

} // namespace rom_detail

inline std::optional<CharacterRom> ParseRom(std::string_view text)
{
    if (text == "a00" || text == "A00")
        return CharacterRom::A00;
    if (text == "a02" || text == "A02")
        return CharacterRom::A02;
    return std::nullopt;
}

inline const char* RomName(CharacterRom rom) { return rom == CharacterRom::A00 ? "a00" : "a02"; }

inline std::uint8_t ToModule(CharacterRom rom, std::uint8_t character) { return rom_detail::TableOf(rom)[character]; }

inline std::string ToModule(CharacterRom rom, std::string_view text)
{
    std::string codes(text);
    for (char& c : codes)
        c = static_cast<char>(ToModule(rom, static_cast<std::uint8_t>(c)));
    return codes;
}

inline std::string GlyphText(CharacterRom rom, std::uint8_t code)
{
    if (code < 0x10)
        return "";
    return (rom == CharacterRom::A00 ? rom_detail::kA00 : rom_detail::kA02)[code - 0x10];
}

} // namespace pixtera::lcd
