// SPDX-License-Identifier: MIT
#pragma once
// The character generator ROMs of HD44780-style modules, as charts of what each code shows: A00
// (the Japanese standard font, the commonest), A02 (the European font) and the Cyrillic font of
// the compatible controllers sold for Russian (docs/hardware.md says where its chart comes from).
// Codes 0-15 are the user characters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixtera::lcd {

enum class CharacterRom { A00, A02, Cyrillic };

namespace rom_detail {

// What each ROM shows for codes 0x10-0xFF, one UTF-8 glyph per code ("" for no glyph, drawn
// blank). From the controllers' character charts; the tables keep the charts' sixteen codes a row.
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

// Only the codes every chart of this ROM agrees on: ASCII but for 0x5C, 0x7E and 0x7F (a
// backslash, tilde or arrow depending on the maker), and the Cyrillic letters Latin lacks.
inline constexpr const char* kCyrillic[240] = {
    // 0x10-0x1F: no glyphs
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    // 0x20-0x7F: ASCII
    " ", "!", "\"", "#", "$", "%", "&", "'", "(", ")", "*", "+", ",", "-", ".", "/",
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ":", ";", "<", "=", ">", "?",
    "@", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O",
    "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "[", "", "]", "^", "_",
    "`", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
    "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "{", "|", "}", "", "",
    // 0x80-0x9F: not used
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    // 0xA0-0xC7: the letters without a Latin twin, capitals then small
    "Б", "Г", "Ё", "Ж", "З", "И", "Й", "Л", "П", "У", "Ф", "Ч", "Ш", "Ъ", "Ы", "Э",
    "Ю", "Я", "б", "в", "г", "ё", "ж", "з", "и", "й", "к", "л", "м", "н", "п", "т",
    "ч", "ш", "ъ", "ы", "ь", "э", "ю", "я", "", "", "", "", "", "", "", "",
    // 0xD0-0xDF: not used
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    // 0xE0-0xE6: the rest of the letters
    "Д", "Ц", "Щ", "д", "ф", "ц", "щ", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
};
// clang-format on

inline const char* const (&GlyphsOf(CharacterRom rom))[240]
{
    switch (rom) {
    case CharacterRom::A00: return kA00;
    case CharacterRom::A02: return kA02;
    case CharacterRom::Cyrillic: break;
    }
    return kCyrillic;
}

} // namespace rom_detail

inline constexpr CharacterRom kCharacterRoms[] = {CharacterRom::A00, CharacterRom::A02, CharacterRom::Cyrillic};

inline std::optional<CharacterRom> ParseRom(std::string_view text)
{
    if (text == "a00" || text == "A00")
        return CharacterRom::A00;
    if (text == "a02" || text == "A02")
        return CharacterRom::A02;
    if (text == "cyrillic" || text == "Cyrillic")
        return CharacterRom::Cyrillic;
    return std::nullopt;
}

inline const char* RomName(CharacterRom rom)
{
    switch (rom) {
    case CharacterRom::A00: return "a00";
    case CharacterRom::A02: return "a02";
    case CharacterRom::Cyrillic: break;
    }
    return "cyrillic";
}

// What the module shows for `code` ("" for the user characters and codes without a glyph).
inline std::string GlyphText(CharacterRom rom, std::uint8_t code)
{
    if (code < 0x10)
        return "";
    return rom_detail::GlyphsOf(rom)[code - 0x10];
}

} // namespace pixtera::lcd
