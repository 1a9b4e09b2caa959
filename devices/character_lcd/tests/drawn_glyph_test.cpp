// SPDX-License-Identifier: MIT
// Big digits and icons: their part glyphs, how a number is laid out, what each falls back to on
// each ROM, and a big clock sharing the eight slots with a bar and Cyrillic letters.

#include <pixtera/sdk/drawn_glyph.h>

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace pixtera::lcd;

std::set<char32_t> DrawnCodes(const BigText& text)
{
    std::set<char32_t> codes;
    for (const std::u32string& row : text.rows)
        for (char32_t c : row)
            if (IsDrawnGlyph(c))
                codes.insert(c);
    return codes;
}

bool WithinFiveByEight(const Glyph& rows)
{
    return std::all_of(rows.begin(), rows.end(), [](std::uint8_t row) { return row < 0x20; });
}

TEST(BigDigits, PartsAndIconsAreDistinctFiveByEightGlyphs)
{
    std::set<Glyph> parts;
    for (const BigDigitPartGlyph& part : kBigDigitPartGlyphs) {
        EXPECT_TRUE(WithinFiveByEight(part.rows)) << part.name;
        EXPECT_NE(part.rows, Glyph{}) << part.name;
        parts.insert(part.rows);
        EXPECT_EQ(BigDigitPartOf(CodeOf(part.part)), &part) << "the table is in code point order: " << part.name;
    }
    EXPECT_EQ(parts.size(), kBigDigitParts);

    std::set<Glyph> icons;
    std::set<std::string_view> names;
    for (const DrawnIcon& icon : kDrawnIcons) {
        EXPECT_TRUE(WithinFiveByEight(icon.rows)) << icon.name;
        icons.insert(icon.rows);
        names.insert(icon.name);
        EXPECT_EQ(IconOf(*IconByName(icon.name)), &icon);
    }
    EXPECT_EQ(icons.size(), kDrawnIconCount);
    EXPECT_EQ(names.size(), kDrawnIconCount);
    EXPECT_FALSE(IconByName("Heart")) << "names are exact";
    EXPECT_EQ(IconOf(kIconCodeFirst + kDrawnIconCount), nullptr);
}

TEST(BigDigits, EachHeightDrawsEveryFigureFromItsOwnFewParts)
{
    const std::u32string all = U"0123456789-:. ";
    for (int height : {2, 4}) {
        SCOPED_TRACE(height);
        const BigText drawn = DrawBigText(all, height, 200);
        ASSERT_EQ(drawn.rows.size(), static_cast<std::size_t>(height));
        ASSERT_EQ(drawn.placed.size(), all.size());
        const std::set<char32_t> parts = DrawnCodes(drawn);
        EXPECT_LE(parts.size(), height == 2 ? 5u : 6u) << "two-row digits leave room beside them";
        // Every figure differs from every other: the drawing tells them apart.
        std::set<std::vector<std::u32string>> looks;
        for (char32_t c : all) {
            const auto glyph = BigGlyphOf(c, height);
            ASSERT_TRUE(glyph);
            for (const std::u32string& row : glyph->rows)
                EXPECT_EQ(row.size(), glyph->width);
            looks.insert(glyph->rows);
        }
        EXPECT_EQ(looks.size(), all.size());
    }
}

// The dot at (x, y) of a big figure drawn from its parts, 5x8 dots a cell.
bool Lit(const BigGlyph& glyph, std::size_t x, std::size_t y)
{
    const char32_t c = glyph.rows[y / 8][x / 5];
    if (c == U' ')
        return false;
    const BigDigitPartGlyph* part = BigDigitPartOf(c);
    return part && (part->rows[y % 8] & (0x10 >> (x % 5)));
}

// Reads a figure back as a seven-segment display would be read: one dot in each stroke.
std::uint8_t Segments(const BigGlyph& glyph, int height)
{
    const std::size_t h = static_cast<std::size_t>(height) * 8;
    const std::size_t middle = height == 2 ? 6 : h / 2;
    const std::pair<std::size_t, std::size_t> probes[7] = {
        {7, 1}, {13, h / 4}, {13, 3 * h / 4}, {7, h - 2}, {1, 3 * h / 4}, {1, h / 4}, {7, middle},
    };
    std::uint8_t segments = 0;
    for (std::size_t s = 0; s < 7; ++s)
        if (Lit(glyph, probes[s].first, probes[s].second))
            segments |= static_cast<std::uint8_t>(1 << s);
    return segments;
}

TEST(BigDigits, EveryFigureReadsBackAsItsSevenSegments)
{
    // a b c d e f g, bit 0 first
    constexpr std::uint8_t kExpected[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    for (int height : {2, 4})
        for (char32_t c = U'0'; c <= U'9'; ++c) {
            const auto glyph = BigGlyphOf(c, height);
            ASSERT_TRUE(glyph);
            EXPECT_EQ(Segments(*glyph, height), kExpected[c - U'0'])
                << static_cast<char>(c) << " " << height << " rows high";
        }
    EXPECT_EQ(Segments(*BigGlyphOf(U'-', 4), 4), 0x40);
}

TEST(BigDigits, ANumberIsLaidOutFigureByFigureWithinItsWidth)
{
    const BigText clock = DrawBigText(U"12:45", 2, 20);
    ASSERT_EQ(clock.placed.size(), 5u);
    // Two figures side by side are a column apart; the colon sits against them.
    const std::size_t columns[5] = {0, 4, 7, 8, 12};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(clock.placed[i].column, columns[i]) << i;
    EXPECT_EQ(clock.placed[2].width, 1u);
    EXPECT_EQ(clock.width(), 15u);
    EXPECT_EQ(clock.rows[1].size(), 15u);
    for (int height : {2, 4})
        EXPECT_LE(DrawnCodes(DrawBigText(U"12:45", height, 20)).size(), kUserSlots) << "a big clock fits the slots";

    // What does not fit is left out whole; a character without a big form is passed over.
    EXPECT_EQ(DrawBigText(U"12:45", 4, 14).placed.size(), 4u);
    EXPECT_EQ(DrawBigText(U"12:45", 4, 14).width(), 11u);
    const BigText skipped = DrawBigText(U"1x2", 2, 20);
    EXPECT_EQ(skipped.placed.size(), 2u);
    EXPECT_EQ(skipped.width(), 7u);
    EXPECT_TRUE(DrawBigText(U"12", 3, 20).rows.empty()) << "only two or four rows";
    EXPECT_TRUE(DrawBigText(U"12", 2, 2).placed.empty());
}

TEST(DrawnGlyph, PartsAndIconsFallBackToWhatEachRomShows)
{
    const char32_t full = CodeOf(BigDigitPart::Full);
    const auto onA00 = DrawnGlyphFor(full, CharacterRom::A00);
    ASSERT_TRUE(onA00);
    EXPECT_TRUE(onA00->onRom) << "A00 has a full block of its own";
    EXPECT_EQ(onA00->fallback, 0xFF);
    const auto onA02 = DrawnGlyphFor(full, CharacterRom::A02);
    EXPECT_FALSE(onA02->onRom);
    EXPECT_EQ(onA02->fallback, '#');

    const char32_t degree = *IconByName("degree");
    EXPECT_EQ(DrawnGlyphCell(CharacterRom::A00, degree)->code, 0xDF);
    EXPECT_FALSE(DrawnGlyphCell(CharacterRom::A00, degree)->glyph) << "the ROM's degree sign: no slot";
    EXPECT_EQ(DrawnGlyphCell(CharacterRom::A02, degree)->code, 0xB0);
    const auto onCyrillic = DrawnGlyphCell(CharacterRom::Cyrillic, degree);
    ASSERT_TRUE(onCyrillic->glyph) << "drawn where the ROM lacks it";
    EXPECT_EQ(onCyrillic->code, 'o');
    EXPECT_EQ(onCyrillic->glyph->use, SlotUse::BigDigitOrIcon);

    EXPECT_EQ(DrawnGlyphCell(CharacterRom::A00, *IconByName("right"))->code, 0x7E);
    EXPECT_EQ(DrawnGlyphCell(CharacterRom::A02, *IconByName("heart"))->code, 0x9D);
    EXPECT_EQ(DrawnGlyphCell(CharacterRom::A00, *IconByName("heart"))->code, '*');
    EXPECT_EQ(DrawnGlyphCell(CharacterRom::A02, *IconByName("bell"))->code, 0x98);
    EXPECT_FALSE(DrawnGlyphCell(CharacterRom::A02, *IconByName("bell"))->glyph);
    EXPECT_EQ(DrawnGlyphCell(CharacterRom::A02, CodeOf(BigDigitPart::Dot))->code, 0xB7);

    EXPECT_FALSE(DrawnGlyphFor(kIconFirst + kDrawnIconCount)) << "past the last icon";
    EXPECT_FALSE(DrawnGlyphFor(kBigDigitPartFirst + kBigDigitParts));
    EXPECT_FALSE(DrawnGlyphFor(U'A'));
}

// The module's display and character RAM, and a check that no definition changes a slot under a
// cell that keeps showing it.
struct Module {
    std::array<Glyph, kUserSlots> cgram{};
    std::vector<std::uint8_t> ddram;

    void Apply(const AllocatedFrame& frame, std::span<const WantedCell> wanted)
    {
        ddram.resize(frame.codes.size(), ' ');
        for (const SlotDefinition& definition : frame.definitions) {
            ASSERT_LT(definition.slot, kUserSlots);
            for (std::size_t i = 0; i < ddram.size(); ++i) {
                if (ddram[i] != SlotCode(definition.slot) || frame.codes[i] != ddram[i])
                    continue;
                EXPECT_TRUE(wanted[i].glyph && wanted[i].glyph->rows == definition.rows)
                    << "slot " << int(definition.slot) << " redefined under cell " << i;
            }
            cgram[definition.slot] = definition.rows;
        }
        ddram = frame.codes;
    }
};

// A 20x4 screen: a big clock on the first rows, a bar and Cyrillic text below it.
std::vector<WantedCell> Screen(CharacterRom rom, std::u32string_view time, int height, std::u32string_view text)
{
    constexpr std::size_t kColumns = 20;
    std::vector<std::u32string> rows(4, std::u32string(kColumns, U' '));
    const BigText clock = DrawBigText(time, height, kColumns);
    for (std::size_t row = 0; row < clock.rows.size(); ++row)
        rows[row].replace(0, clock.width(), clock.rows[row]);
    // Beside a four-row clock, the bar and text are on its right; below a two-row one.
    const std::size_t barRow = height == 4 ? 0 : 2, barColumn = height == 4 ? 16 : 0;
    rows[3].replace(kColumns - text.size(), text.size(), text);
    std::vector<WantedCell> cells;
    const Glyph bar = {0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C};
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t column = 0; column < kColumns; ++column) {
            const char32_t c = rows[row][column];
            if (row == barRow && column >= barColumn && column < barColumn + 4)
                cells.push_back(DrawnCell(SlotUse::Bar, bar, '|'));
            else if (const auto drawn = DrawnGlyphCell(rom, c))
                cells.push_back(*drawn);
            else
                cells.push_back(LetterCell(rom, c));
        }
    return cells;
}

TEST(DrawnGlyph, ABigClockABarAndCyrillicShareTheEightSlotsAndTheRestFallsBackVisibly)
{
    const std::u32string times[] = {U"12:45", U"12:46", U"12:47", U"18:00", U"09:59"};
    for (CharacterRom rom : kCharacterRoms)
        for (int height : {2, 4}) {
            SCOPED_TRACE(std::string(RomName(rom)) + ", " + std::to_string(height) + " rows");
            UserCharacterAllocator allocator;
            Module module;
            for (const std::u32string& time : times) {
                const auto cells = Screen(rom, time, height, U"жизнь");
                const AllocatedFrame frame = allocator.Allocate(cells);
                module.Apply(frame, cells);
                std::set<std::uint8_t> slotsShown;
                for (std::size_t i = 0; i < cells.size(); ++i) {
                    const std::uint8_t code = frame.codes[i];
                    const bool inSlot = code >= SlotCode(0) && code < SlotCode(kUserSlots);
                    if (!cells[i].glyph) {
                        EXPECT_EQ(code, cells[i].code) << "cell " << i;
                        continue;
                    }
                    if (inSlot) {
                        slotsShown.insert(code);
                        EXPECT_EQ(module.cgram[code - SlotCode(0)], cells[i].glyph->rows) << "cell " << i;
                    } else {
                        EXPECT_EQ(code, cells[i].code) << "cell " << i << " shows its fallback";
                        EXPECT_EQ(cells[i].glyph->use, SlotUse::Letter)
                            << "the clock and the bar come before letters: cell " << i;
                    }
                }
                EXPECT_LE(slotsShown.size(), kUserSlots);
            }
        }
}

TEST(DrawnGlyph, WithoutSlotsABigNumberStillReadsInRomCharacters)
{
    // A design's own eight characters take every slot: the digits show their fallbacks.
    std::vector<WantedCell> cells;
    for (std::uint8_t slot = 0; slot < kUserSlots; ++slot)
        cells.push_back(DesignCell(slot, Glyph{static_cast<std::uint8_t>(slot + 1)}));
    const BigText zero = DrawBigText(U"0", 2, 3);
    for (const std::u32string& row : zero.rows)
        for (char32_t c : row)
            cells.push_back(*DrawnGlyphCell(CharacterRom::A00, c));
    UserCharacterAllocator allocator;
    const AllocatedFrame frame = allocator.Allocate(cells);
    EXPECT_EQ(std::string(frame.codes.begin() + kUserSlots, frame.codes.end()), "\xFF-\xFF\xFF_\xFF");
}

} // namespace
