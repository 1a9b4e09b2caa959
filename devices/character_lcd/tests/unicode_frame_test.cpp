// SPDX-License-Identifier: MIT
// Unicode frames for a module: UTF-16 to cells, bounded and never split inside a character, and a
// screen of bars, a level and Cyrillic text sharing the eight user characters.

#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/sdk/unicode_frame.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcd;

TEST(UnicodeFrame, CellsAreCodePointsBoundedAndUnpairedSurrogatesAreReplaced)
{
    EXPECT_EQ(FrameCells(u"a\U0001F600b", 10), U"a\U0001F600b") << "a surrogate pair is one cell";
    EXPECT_EQ(FrameCells(u"ab\U0001F600", 3).size(), 3u);
    EXPECT_EQ(FrameCells(u"abcdef", 4), U"abcd");
    const char16_t lone[] = {u'x', 0xD800, u'y', 0xDC00, 0xD800};
    EXPECT_EQ(FrameCells(std::u16string_view(lone, 5), 10), U"x\uFFFDy\uFFFD\uFFFD");
    EXPECT_EQ(ResolveOnRom(CharacterRom::A02, kReplacementCharacter), (RomCode{Match::Missing, kPlaceholderCode}));
}

TEST(UnicodeFrame, BarsALevelAndCyrillicTextShareTheSlotsOnOneScreen)
{
    // The user characters every display gets: 0 a full cell, 1-7 their bottom rows lit.
    std::array<Glyph, kUserSlots> own{};
    for (std::size_t code = 0; code < kUserSlots; ++code)
        for (std::size_t row = code == 0 ? 0 : 8 - code; row < 8; ++row)
            own[code][row] = 0x1F;
    const std::u32string text = U"Привет, мир! 21°"
                                U"\x08\x08\x08\x08\x08\x08\x08\x08\x08\x03 жжж  ";
    ASSERT_EQ(text.size(), 32u);
    const auto cells = WantedCells(CharacterRom::A00, text, own);
    UserCharacterAllocator allocator;
    const AllocatedFrame frame = allocator.Allocate(cells);

    std::array<Glyph, kUserSlots> cgram{};
    for (const SlotDefinition& definition : frame.definitions)
        cgram[definition.slot] = definition.rows;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        const std::uint8_t code = frame.codes[i];
        if (c < 16) {
            EXPECT_EQ(code, SlotCode(c & 7)) << i << ": the design's characters keep their slots";
            EXPECT_EQ(cgram[c & 7], own[c & 7]) << i;
        } else if (ResolveOnRom(CharacterRom::A00, c).match == Match::Exact) {
            EXPECT_EQ(code, ResolveOnRom(CharacterRom::A00, c).code) << i;
        } else {
            ASSERT_TRUE(code >= SlotCode(0) && code < SlotCode(kUserSlots)) << i << ": six letters, six slots left";
            EXPECT_EQ(cgram[code - 8], LetterGlyph(c)) << i;
        }
    }
    EXPECT_EQ(frame.definitions.size(), 8u) << "the full cell, the level and П, и, в, т, м, ж";
    EXPECT_TRUE(allocator.Allocate(cells).definitions.empty());
}

} // namespace
