// SPDX-License-Identifier: MIT
// The allocator of the eight user characters, frame after frame on a model of the module's
// display and character RAM: every cell reads as its letter or the profile's look-alike or
// placeholder, the slots go in the documented order, a slot is never redefined under a cell that
// keeps showing it, and an unchanged screen sends nothing.

#include <pixtera/sdk/user_character_allocator.h>

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace pixtera::lcd;

std::u32string Text(std::string_view utf8)
{
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        out.push_back(rom_detail::SingleCodePoint(utf8.substr(i, length)));
        i += length;
    }
    return out;
}

std::vector<WantedCell> Cells(CharacterRom rom, std::u32string_view text)
{
    std::vector<WantedCell> cells;
    for (char32_t c : text)
        cells.push_back(LetterCell(rom, c));
    return cells;
}

// The module: its character RAM and display RAM, and what reached it.
struct Module {
    std::array<Glyph, kUserSlots> cgram{};
    std::vector<std::uint8_t> ddram;
    std::size_t definitionsSent = 0;
    std::size_t cellsSent = 0;

    // Applies a frame as a driver would: the definitions, then the cells that differ. Fails the
    // test when a definition changes a slot under a cell that keeps showing it with another
    // meaning.
    void Apply(const AllocatedFrame& frame, std::span<const WantedCell> wanted)
    {
        ddram.resize(frame.codes.size(), ' ');
        for (const SlotDefinition& definition : frame.definitions) {
            ASSERT_LT(definition.slot, kUserSlots);
            for (std::size_t i = 0; i < ddram.size(); ++i) {
                if (ddram[i] != SlotCode(definition.slot) || frame.codes[i] != ddram[i])
                    continue;
                const bool wantsIt = wanted[i].glyph && wanted[i].glyph->rows == definition.rows;
                EXPECT_TRUE(wantsIt) << "slot " << int(definition.slot) << " redefined under cell " << i
                                     << ", which keeps showing it";
            }
            cgram[definition.slot] = definition.rows;
            ++definitionsSent;
        }
        for (std::size_t i = 0; i < ddram.size(); ++i)
            if (ddram[i] != frame.codes[i]) {
                ddram[i] = frame.codes[i];
                ++cellsSent;
            }
    }
};

// Every cell shows the font's letter from a slot, or exactly what the profile shows for it.
void ExpectReads(const Module& module, CharacterRom rom, std::u32string_view text, std::size_t& exact)
{
    exact = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t code = module.ddram[i];
        const RomCode onRom = ResolveOnRom(rom, text[i]);
        if (code >= SlotCode(0) && code < SlotCode(kUserSlots)) {
            EXPECT_EQ(module.cgram[code - 8], LetterGlyph(text[i])) << RomName(rom) << " cell " << i;
            ++exact;
        } else {
            EXPECT_EQ(GlyphText(rom, code), GlyphText(rom, onRom.code)) << RomName(rom) << " cell " << i;
            exact += onRom.match == Match::Exact;
        }
    }
}

struct Case {
    const char* name;
    std::string_view text;
};
constexpr Case kPangrams[] = {
    {"Russian", "Съешь же ещё этих мягких французских булок, да выпей чаю"},
    {"Greek", "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία"},
    {"Polish", "Pchnąć w tę łódź jeża lub ośm skrzyń fig"},
    {"katakana", "イロハニホヘト チリヌルヲ ワカヨタレソ ツネナラム"},
};

TEST(UserCharacterAllocator, PangramsReadAsTheirLettersOrTheProfilesStandInsOnEveryRom)
{
    for (const Case& pangram : kPangrams) {
        for (CharacterRom rom : kCharacterRoms) {
            SCOPED_TRACE(std::string(pangram.name) + " on " + RomName(rom));
            const std::u32string text = Text(pangram.text);
            const auto cells = Cells(rom, text);
            UserCharacterAllocator allocator;
            Module module;
            const AllocatedFrame frame = allocator.Allocate(cells);
            module.Apply(frame, cells);
            std::size_t exact = 0;
            ExpectReads(module, rom, text, exact);

            // The letters the ROM lacks: the most frequent have the slots, as many as fit.
            std::map<char32_t, std::size_t> count;
            for (char32_t c : text)
                if (ResolveOnRom(rom, c).match != Match::Exact && LetterGlyph(c))
                    ++count[c];
            std::size_t fewestInSlot = SIZE_MAX, mostLeftOut = 0, inSlots = 0;
            for (const auto& [letter, n] : count) {
                const std::size_t at = text.find(letter);
                const bool slotted = module.ddram[at] >= 8 && module.ddram[at] < 16;
                inSlots += slotted;
                (slotted ? fewestInSlot : mostLeftOut) = slotted ? std::min(fewestInSlot, n) : std::max(mostLeftOut, n);
            }
            EXPECT_EQ(inSlots, std::min(count.size(), kUserSlots));
            if (count.size() > kUserSlots) {
                EXPECT_GE(fewestInSlot, mostLeftOut);
            } else {
                EXPECT_EQ(exact, text.size() - std::count_if(text.begin(), text.end(),
                                                             [&](char32_t c) {
                                                                 return ResolveOnRom(rom, c).match != Match::Exact &&
                                                                        !LetterGlyph(c);
                                                             }))
                    << "every letter the font draws is drawn";
            }

            // The same screen again: nothing to send.
            const std::size_t before = module.definitionsSent + module.cellsSent;
            const AllocatedFrame again = allocator.Allocate(cells);
            EXPECT_TRUE(again.definitions.empty());
            EXPECT_EQ(again.codes, frame.codes);
            module.Apply(again, cells);
            EXPECT_EQ(module.definitionsSent + module.cellsSent, before);
        }
    }
    // The Cyrillic ROM shows Russian itself: no slot at all.
    UserCharacterAllocator allocator;
    const auto cells = Cells(CharacterRom::Cyrillic, Text(kPangrams[0].text));
    EXPECT_TRUE(allocator.Allocate(cells).definitions.empty());
}

TEST(UserCharacterAllocator, AScrollingTextNeverRedefinesASlotUnderACellThatKeepsIt)
{
    const std::u32string text = Text(std::string(kPangrams[0].text) + " " + std::string(kPangrams[1].text));
    constexpr std::size_t kWidth = 16;
    for (CharacterRom rom : kCharacterRoms) {
        UserCharacterAllocator allocator;
        Module module;
        std::size_t definitions = 0;
        for (std::size_t step = 0; step + kWidth <= text.size(); ++step) {
            const std::u32string window = text.substr(step, kWidth);
            const auto cells = Cells(rom, window);
            const AllocatedFrame frame = allocator.Allocate(cells);
            module.Apply(frame, cells);
            std::size_t exact = 0;
            ExpectReads(module, rom, window, exact);
            if (step > 0) {
                definitions += frame.definitions.size();
                EXPECT_LE(frame.definitions.size(), 1u) << RomName(rom) << " step " << step;
            }
        }
        // One letter enters a step: at most one slot is written for it, and none while a letter
        // that left is still loaded.
        EXPECT_LT(definitions, text.size() - kWidth) << RomName(rom);
    }
}

Glyph Stripes(std::uint8_t seed)
{
    Glyph glyph{};
    for (std::size_t row = 0; row < glyph.size(); ++row)
        glyph[row] = static_cast<std::uint8_t>((seed * 7 + row * 3) & 0x1F);
    return glyph;
}

TEST(UserCharacterAllocator, ADesignsOwnEightCharactersKeepTheirSlotsAndTheRestFallsBack)
{
    std::vector<WantedCell> cells;
    for (std::uint8_t slot = 0; slot < 8; ++slot)
        cells.push_back(DesignCell(slot, Stripes(slot)));
    const Glyph bar = {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10};
    cells.push_back(DrawnCell(SlotUse::Bar, bar, '|'));
    for (char32_t c : Text("Łódź ж"))
        cells.push_back(LetterCell(CharacterRom::A00, c));

    UserCharacterAllocator allocator;
    Module module;
    const AllocatedFrame frame = allocator.Allocate(cells);
    module.Apply(frame, cells);
    for (std::uint8_t slot = 0; slot < 8; ++slot) {
        EXPECT_EQ(frame.codes[slot], SlotCode(slot));
        EXPECT_EQ(module.cgram[slot], Stripes(slot));
    }
    EXPECT_EQ(frame.definitions.size(), 8u);
    EXPECT_EQ(std::string(frame.codes.begin() + 8, frame.codes.end()), "|Lodz ?")
        << "the bar's fallback, the look-alikes and the placeholder";
}

TEST(UserCharacterAllocator, SlotsGoToBarsThenIconsThenTheMostFrequentLetters)
{
    const Glyph bar = {0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C, 0x1C};
    const Glyph heart = {0x00, 0x0A, 0x1F, 0x1F, 0x0E, 0x04, 0x00, 0x00};
    std::vector<WantedCell> cells;
    for (std::uint8_t slot = 0; slot < 6; ++slot)
        cells.push_back(DesignCell(slot, Stripes(slot)));
    for (char32_t c : Text("жбб"))
        cells.push_back(LetterCell(CharacterRom::A00, c));
    cells.push_back(DrawnCell(SlotUse::BigDigitOrIcon, heart, '*'));
    cells.push_back(DrawnCell(SlotUse::Bar, bar, '#'));

    UserCharacterAllocator allocator;
    AllocatedFrame frame = allocator.Allocate(cells);
    EXPECT_EQ(frame.codes[6], '?') << "ж: no slot left after the bar and the icon";
    EXPECT_EQ(frame.codes[7], '?');
    const std::uint8_t icon = frame.codes[9], barSlot = frame.codes[10];
    EXPECT_TRUE(icon >= SlotCode(6) && icon < SlotCode(8)) << "the icon has a slot";
    EXPECT_TRUE(barSlot >= SlotCode(6) && barSlot < SlotCode(8)) << "the bar has a slot";
    EXPECT_NE(icon, barSlot);

    // Without the icon, the more frequent letter has its slot.
    cells.erase(cells.begin() + 9);
    frame = allocator.Allocate(cells);
    EXPECT_EQ(frame.codes[6], '?');
    EXPECT_EQ(frame.codes[7], icon) << "the icon's slot, now free";
    EXPECT_EQ(frame.codes[7], frame.codes[8]) << "one slot for both б";
    EXPECT_EQ(frame.codes[9], barSlot) << "the bar keeps its slot";
    ASSERT_EQ(frame.definitions.size(), 1u) << "only the letter's slot is written";
    EXPECT_EQ(frame.definitions[0].rows, LetterGlyph(U'б'));
}

TEST(UserCharacterAllocator, OfLettersAsFrequentTheOnesLoadedKeepTheirSlots)
{
    UserCharacterAllocator allocator;
    Module module;
    const std::u32string nine = Text("бгджзийлп");
    auto cells = Cells(CharacterRom::A00, nine);
    module.Apply(allocator.Allocate(cells), cells);
    ASSERT_EQ(module.ddram[8], '?') << "the ninth letter has no slot";

    // The ninth comes first now, as frequent as the others: nothing moves.
    const std::u32string rotated = nine.substr(8) + nine.substr(0, 8);
    cells = Cells(CharacterRom::A00, rotated);
    const AllocatedFrame frame = allocator.Allocate(cells);
    EXPECT_TRUE(frame.definitions.empty());
    EXPECT_EQ(frame.codes[0], '?');
    module.Apply(frame, cells);
    std::size_t exact = 0;
    ExpectReads(module, CharacterRom::A00, rotated, exact);
    EXPECT_EQ(exact, 8u);
}

TEST(UserCharacterAllocator, ADesignCharacterTakesBackItsSlotAndTheLetterThereMoves)
{
    UserCharacterAllocator allocator;
    Module module;
    std::vector<WantedCell> cells = Cells(CharacterRom::A00, Text("жж"));
    module.Apply(allocator.Allocate(cells), cells);
    ASSERT_EQ(module.ddram[0], SlotCode(0));

    cells.push_back(DesignCell(0, Stripes(3)));
    const AllocatedFrame frame = allocator.Allocate(cells);
    module.Apply(frame, cells);
    EXPECT_EQ(frame.codes[2], SlotCode(0));
    EXPECT_EQ(module.cgram[0], Stripes(3));
    EXPECT_NE(frame.codes[0], SlotCode(0));
    EXPECT_EQ(module.cgram[frame.codes[0] - 8], LetterGlyph(U'ж'));
}

TEST(UserCharacterAllocator, AfterAResetEverySlotInUseIsWrittenAgain)
{
    UserCharacterAllocator allocator;
    const auto cells = Cells(CharacterRom::A02, Text("ψυχή"));
    const std::size_t first = allocator.Allocate(cells).definitions.size();
    EXPECT_EQ(first, 4u);
    EXPECT_TRUE(allocator.Allocate(cells).definitions.empty());
    allocator.Reset();
    EXPECT_EQ(allocator.Allocate(cells).definitions.size(), first);
}

} // namespace
