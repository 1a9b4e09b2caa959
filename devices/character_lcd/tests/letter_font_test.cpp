// SPDX-License-Identifier: MIT
// The letter font the user characters draw missing letters with: it covers the alphabets it
// claims, every glyph reads as one letter only, and what it lacks is the placeholder.

#include <pixtera/sdk/letter_font.h>

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace pixtera::lcd;

constexpr std::u32string_view kAlphabets[] = {
    U"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя", // Russian
    U"ЄІЇҐЎєіїґў", // Ukrainian, Belarusian
    U"ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩαβγδεζηθικλμνξοπρσςτυφχψωάέήίόύώ", // Greek
    U"ĄĆĘŁŃÓŚŹŻąćęłńóśźż", // Polish
    U"ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž", // Czech
    U"ÇĞİÖŞÜçğıöşü", // Turkish
    U"ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン",
};

TEST(LetterFont, DrawsEveryLetterAnyRomLacksOfTheAlphabetsItCovers)
{
    for (std::u32string_view alphabet : kAlphabets)
        for (char32_t letter : alphabet)
            for (CharacterRom rom : kCharacterRoms)
                if (ResolveOnRom(rom, letter).match != Match::Exact) {
                    EXPECT_TRUE(LetterGlyph(letter)) << std::uint32_t(letter) << " lacking on " << RomName(rom);
                }
    // What the font does not draw is the placeholder, never another letter's glyph.
    EXPECT_FALSE(LetterGlyph(U'ガ')) << "voiced kana need two cells' marks";
    EXPECT_EQ(LetterGlyphOrPlaceholder(U'ガ'), kPlaceholderGlyph);
    EXPECT_FALSE(LetterOfGlyph(kPlaceholderGlyph));
}

TEST(LetterFont, EveryGlyphReadsAsOneLetterAndFitsTheMatrix)
{
    std::map<Glyph, char32_t> seen;
    for (const auto& drawn : FontLetters()) {
        const auto [where, added] = seen.emplace(drawn.glyph, drawn.letter);
        EXPECT_TRUE(added) << std::uint32_t(drawn.letter) << " is drawn as " << std::uint32_t(where->second);
        EXPECT_NE(drawn.glyph, Glyph{}) << std::uint32_t(drawn.letter) << " has no dots";
        for (std::uint8_t row : drawn.glyph)
            EXPECT_LT(row, 0x20) << std::uint32_t(drawn.letter) << " is wider than five dots";
        EXPECT_EQ(LetterOfGlyph(drawn.glyph), drawn.letter);
    }
    EXPECT_GT(seen.size(), 150u);
}

TEST(LetterFont, TwinsAndHalfWidthKanaShareTheirLettersGlyphs)
{
    EXPECT_EQ(LetterGlyph(U'Γ'), LetterGlyph(U'Г'));
    EXPECT_EQ(LetterGlyph(U'Φ'), LetterGlyph(U'Ф'));
    EXPECT_EQ(LetterGlyph(U'ｱ'), LetterGlyph(U'ア'));
    EXPECT_NE(LetterGlyph(U'ó'), LetterGlyph(U'Ó')) << "a capital under a mark is not its small letter";
    // The Cyrillic ROM's letters, which the designer previews with this font.
    for (int code = 0x80; code < 0x100; ++code) {
        const char32_t letter = rom_detail::SingleCodePoint(GlyphText(CharacterRom::Cyrillic, std::uint8_t(code)));
        if (letter != 0) {
            EXPECT_TRUE(LetterGlyph(letter)) << std::hex << code;
        }
    }
}

} // namespace
