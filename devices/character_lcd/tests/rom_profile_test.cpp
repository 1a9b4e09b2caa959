// SPDX-License-Identifier: MIT
// The ROM profiles: any character to the code a module shows it as, the ROM's own glyph where it
// has one, a stand-in that reads the same where it has one of those, the placeholder otherwise.

#include <pixtera/sdk/character_rom.h>
#include <pixtera/sdk/rom_profile.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcd;

// The code points of UTF-8 text.
std::u32string CodePoints(std::string_view text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        out.push_back(rom_detail::SingleCodePoint(text.substr(i, length)));
        i += length;
    }
    return out;
}

std::string Shown(CharacterRom rom, std::u32string_view text)
{
    std::string out;
    for (char32_t c : text)
        out += GlyphText(rom, ResolveOnRom(rom, c).code);
    return out;
}

TEST(RomProfile, EveryGlyphOfEachChartIsFoundAtItsCode)
{
    for (CharacterRom rom : kCharacterRoms) {
        int glyphs = 0;
        for (int code = 0x20; code < 0x100; ++code) {
            const std::string glyph = GlyphText(rom, static_cast<std::uint8_t>(code));
            const char32_t c = rom_detail::SingleCodePoint(glyph);
            if (c == 0 || code == 0xFE)
                continue;
            ++glyphs;
            const RomCode found = ResolveOnRom(rom, c);
            EXPECT_EQ(found.match, Match::Exact) << RomName(rom) << " " << glyph;
            EXPECT_EQ(GlyphText(rom, found.code), glyph) << RomName(rom) << " " << glyph << " at " << code;
        }
        EXPECT_GT(glyphs, 95) << RomName(rom) << ": at least ASCII";
    }
}

TEST(RomProfile, RussianReadsOnTheCyrillicRomAndAsCapitalsOrPlaceholdersElsewhere)
{
    const std::u32string pangram = CodePoints("Съешь же ещё этих мягких французских булок, да выпей чаю");
    for (char32_t c : pangram)
        EXPECT_EQ(ResolveOnRom(CharacterRom::Cyrillic, c).match, Match::Exact) << std::uint32_t(c);
    EXPECT_EQ(Shown(CharacterRom::Cyrillic, pangram), "Cъeшь жe eщё этиx мягкиx фpaнцyзcкиx бyлoк, дa выпeй чaю")
        << "Latin twins for the letters drawn alike";

    // A02 has the capitals Latin lacks: the small letters read as them.
    EXPECT_EQ(Shown(CharacterRom::A02, CodePoints("Дом быт")), "ДoM БЫT");
    EXPECT_EQ(ResolveOnRom(CharacterRom::A02, U'ж'), (RomCode{Match::LookAlike, 0x82}));
    EXPECT_EQ(ResolveOnRom(CharacterRom::A02, U'Г'), (RomCode{Match::Exact, 0x92})) << "A02's Greek Gamma";
    EXPECT_EQ(ResolveOnRom(CharacterRom::A02, U'ё'), (RomCode{Match::LookAlike, 0xEB})) << "ë";

    // A00 has no Cyrillic: what Latin does not draw is the placeholder, never another letter.
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'ж'), (RomCode{Match::Missing, kPlaceholderCode}));
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'Б'), (RomCode{Match::Missing, kPlaceholderCode}));
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'к'), (RomCode{Match::LookAlike, 'K'}));
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'ё'), (RomCode{Match::LookAlike, 'e'})) << "as ë's own stand-in";
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'Й'), (RomCode{Match::Missing, kPlaceholderCode})) << "not И";
}

TEST(RomProfile, GreekPolishAndKatakanaOnEachRom)
{
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'α'), (RomCode{Match::Exact, 0xE0}));
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'ά'), (RomCode{Match::LookAlike, 0xE0})) << "the accent dropped";
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'μ'), (RomCode{Match::Exact, 0xE4})) << "the micro sign's glyph";
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'γ').match, Match::Missing);
    EXPECT_EQ(ResolveOnRom(CharacterRom::A02, U'γ'), (RomCode{Match::LookAlike, 0x92})) << "as Γ";
    EXPECT_EQ(ResolveOnRom(CharacterRom::A02, U'ς'), (RomCode{Match::LookAlike, 0x95})) << "final sigma as σ";
    EXPECT_EQ(ResolveOnRom(CharacterRom::Cyrillic, U'Ω').match, Match::Missing);
    EXPECT_EQ(ResolveOnRom(CharacterRom::Cyrillic, U'Ο'), (RomCode{Match::Exact, 'O'}));

    EXPECT_EQ(Shown(CharacterRom::A00, CodePoints("Zażółć gęślą jaźń")), "Zazolc gesla jazn");
    EXPECT_EQ(Shown(CharacterRom::A02, CodePoints("Zażółć gęślą jaźń")), "Zazólc gesla jazn");
    EXPECT_EQ(Shown(CharacterRom::A02, CodePoints("Příliš ığdır İŞ")), "Prílis igdir IS");

    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'ア'), (RomCode{Match::Exact, 0xB1}));
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'ｱ'), (RomCode{Match::Exact, 0xB1})) << "half-width kana";
    EXPECT_EQ(ResolveOnRom(CharacterRom::A00, U'ガ').match, Match::Missing) << "not カ: another syllable";
    EXPECT_EQ(ResolveOnRom(CharacterRom::A02, U'ア').match, Match::Missing);
}

TEST(RomProfile, ControlsAreSpacesAndThePlaceholderIsVisibleEverywhere)
{
    for (CharacterRom rom : kCharacterRoms) {
        EXPECT_EQ(ResolveOnRom(rom, U'\n'), (RomCode{Match::LookAlike, ' '}));
        EXPECT_EQ(ResolveOnRom(rom, U'\u0085'), (RomCode{Match::LookAlike, ' '}));
        EXPECT_EQ(ResolveOnRom(rom, U'\U0001F600'), (RomCode{Match::Missing, kPlaceholderCode}));
        EXPECT_EQ(GlyphText(rom, kPlaceholderCode), "?");
    }
    EXPECT_EQ(ParseRom("cyrillic"), CharacterRom::Cyrillic);
    EXPECT_STREQ(RomName(CharacterRom::Cyrillic), "cyrillic");
}

} // namespace
