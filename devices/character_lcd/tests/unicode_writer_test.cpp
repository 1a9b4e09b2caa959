// SPDX-License-Identifier: MIT
// Unicode frames through the writer to the I2C and serial module models, on each ROM: what the
// module's DDRAM and CGRAM show, read with the ROM's glyphs and the font's letters, is the text
// or its look-alikes, with the slots going to the most frequent letters the ROM lacks, none
// redefined under a cell that still shows it, nothing sent for a screen that stands still, and a
// design's own characters kept.

#include "hd44780_i2c_protocol.h"
#include "hd44780_model.h"
#include "serial_lcd_model.h"
#include "serial_lcd_protocol.h"
#include "test_environment.h"
#include "writer_bench.h"

#include <pixtera/sdk/big_digits.h>
#include <pixtera/sdk/drawn_glyph.h>
#include <pixtera/sdk/letter_font.h>
#include <pixtera/sdk/unicode_frame.h>

#include <pixtera/platform/codepage.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace pixtera::lcd;
using namespace pixtera::lcd::test;

constexpr Geometry kGeometry{20, 4};

const std::u32string kRussian = U"Съешь же ещё этих мягких французских булок, да выпей чаю.";
const std::u32string kGreek = U"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία.";
const std::u32string kPolish = U"Pchnąć w tę łódź jeża lub ośm skrzyń fig.";
const std::u32string kKatakana = U"イロハニホヘト チリヌルヲ ワカヨタレソ ツネナラム";

std::u32string Padded(std::u32string text)
{
    text.resize(static_cast<std::size_t>(kGeometry.cells()), U' ');
    return text;
}

// A module model behind its protocol: what its cells show, as codes, and its slots.
class Module {
public:
    virtual ~Module() = default;
    virtual std::shared_ptr<LcdProtocol> Protocol(CharacterRom rom) const = 0;
    virtual void Feed(const std::string& bytes) = 0;
    virtual std::string Codes() const = 0; // row after row
    virtual Glyph Slot(int slot) const = 0;
};

class I2cModule final : public Module {
public:
    std::shared_ptr<LcdProtocol> Protocol(CharacterRom rom) const override
    {
        return std::make_shared<Hd44780I2cProtocol>(kGeometry, Pcf8574Pins::A(), true, rom);
    }
    void Feed(const std::string& bytes) override { model_.Feed(bytes); }
    std::string Codes() const override { return model_.Visible(kGeometry.columns, kGeometry.rows); }
    Glyph Slot(int slot) const override { return model_.GlyphOf(slot); }

private:
    Hd44780Model model_{Pcf8574Pins::A()};
};

class SerialModule final : public Module {
public:
    std::shared_ptr<LcdProtocol> Protocol(CharacterRom rom) const override
    {
        SerialLcdOptions options;
        options.rom = rom;
        return std::make_shared<SerialLcdProtocol>(options);
    }
    void Feed(const std::string& bytes) override { model_.Feed(bytes); }
    std::string Codes() const override { return model_.screen(); }
    Glyph Slot(int slot) const override { return model_.GlyphOf(slot); }

private:
    SerialLcdModel model_{kGeometry.columns, kGeometry.rows};
};

bool IsSlot(std::uint8_t code) { return code < 16; }

// What the module shows in a cell, for a failure's message: the ROM's glyph, the font's letter
// in a slot, or '#' for a slot drawn as no letter.
std::string Shown(CharacterRom rom, const Module& module, std::uint8_t code)
{
    if (!IsSlot(code))
        return GlyphText(rom, code);
    const auto letter = LetterOfGlyph(module.Slot(code & 7));
    std::string text = "#";
    if (letter) {
        text.clear();
        pixtera::AppendUtf8(text, *letter);
    }
    return text;
}

std::string ShownScreen(CharacterRom rom, const Module& module)
{
    std::string screen;
    const std::string codes = module.Codes();
    for (std::size_t i = 0; i < codes.size(); ++i)
        screen += (i % static_cast<std::size_t>(kGeometry.columns) == 0 ? "\n" : "") +
                  Shown(rom, module, static_cast<std::uint8_t>(codes[i]));
    return screen;
}

// Letters are counted by their drawing, as slots are shared: two letters drawn alike are one.
struct Reading {
    bool right = true; // every cell shows its character or that character's ROM stand-in
    std::map<Glyph, std::size_t> inSlots; // drawings in a slot: how many cells show them
    std::map<Glyph, std::size_t> fellBack; // drawings the font has, shown by a stand-in instead
};

// Reads the module's cells against the characters wanted: a ROM code must be what the profile
// shows for the character (itself or its look-alike); a slot must hold the font's drawing of it.
Reading Read(CharacterRom rom, const Module& module, std::u32string_view wanted)
{
    Reading reading;
    const std::string codes = module.Codes();
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const auto code = static_cast<std::uint8_t>(codes[i]);
        const char32_t c = wanted[i];
        const RomCode onRom = ResolveOnRom(rom, c);
        if (IsSlot(code)) {
            const auto letter = LetterGlyph(c);
            reading.right = reading.right && onRom.match != Match::Exact && letter && module.Slot(code & 7) == *letter;
            ++reading.inSlots[module.Slot(code & 7)];
        } else {
            reading.right = reading.right && code == onRom.code;
            if (const auto letter = LetterGlyph(c); onRom.match != Match::Exact && letter)
                ++reading.fellBack[*letter];
        }
    }
    return reading;
}

using Link = std::function<std::unique_ptr<Module>()>;

struct Case {
    const char* name;
    Link link;
    CharacterRom rom;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class UnicodeFrames : public ::testing::TestWithParam<Case> {
protected:
    UnicodeFrames() : module_(GetParam().link()), bench_(module_->Protocol(rom()), kGeometry, nullptr, rom()) {}

    CharacterRom rom() const { return GetParam().rom; }

    // Shows the frame and returns the bytes it cost, fed to the module.
    std::string Show(const std::u32string& frame)
    {
        bench_.writer->ShowUnicode(frame);
        const std::string bytes = bench_.Sent();
        module_->Feed(bytes);
        return bytes;
    }

    // The module shows `text` rightly; what fell back did so only because the slots were full
    // of letters at least as frequent.
    void ExpectShown(const std::u32string& text, const std::string& what)
    {
        const Reading reading = Read(rom(), *module_, Padded(text));
        EXPECT_TRUE(reading.right) << what << " on " << RomName(rom()) << " shows" << ShownScreen(rom(), *module_);
        EXPECT_LE(reading.inSlots.size(), kUserSlots) << what;
        if (reading.fellBack.empty())
            return;
        EXPECT_EQ(reading.inSlots.size(), kUserSlots) << what << ": a letter fell back while a slot was free";
        std::size_t rarestInASlot = SIZE_MAX;
        for (const auto& [letter, count] : reading.inSlots)
            rarestInASlot = std::min(rarestInASlot, count);
        for (const auto& [drawing, count] : reading.fellBack)
            EXPECT_LE(count, rarestInASlot)
                << what << ": U+" << std::hex << static_cast<unsigned>(LetterOfGlyph(drawing).value_or(0))
                << " is more frequent than a letter given a slot";
    }

    std::unique_ptr<Module> module_;
    Bench bench_;
};

TEST_P(UnicodeFrames, PangramsAndKatakanaReadBackAsTheTextOrItsLookAlikes)
{
    Show(Padded(U""));
    for (const auto& [text, what] : {std::pair{kRussian, "Russian"}, std::pair{kGreek, "Greek"},
                                     std::pair{kPolish, "Polish"}, std::pair{kKatakana, "katakana"}}) {
        Show(Padded(text));
        ExpectShown(text, what);
        EXPECT_EQ(Show(Padded(text)), "") << what << ": an unchanged screen sends nothing";
    }
}

TEST_P(UnicodeFrames, AScrollingTextNeverShowsACellWithASlotRedefinedUnderIt)
{
    // Every step keeps most cells and changes others: a slot still shown by a kept cell must keep
    // its drawing, which the reading after each step would catch.
    const std::u32string line = kRussian + U" " + kGreek + U" " + kPolish + U" ";
    for (std::size_t step = 0; step < line.size(); step += 3) {
        std::u32string frame;
        for (std::size_t i = 0; i < static_cast<std::size_t>(kGeometry.cells()); ++i)
            frame += line[(step + i) % line.size()];
        Show(frame);
        ExpectShown(frame, "step " + std::to_string(step));
        if (HasFailure())
            return;
    }
}

TEST_P(UnicodeFrames, ADesignWithItsOwnEightCharactersKeepsThem)
{
    std::array<Glyph, kUserSlots> own{};
    for (std::size_t slot = 0; slot < kUserSlots; ++slot) {
        own[slot].fill(static_cast<std::uint8_t>(slot + 1));
        bench_.writer->Define(static_cast<int>(slot), own[slot]);
    }
    // Codes 1-7 and 8 (user character 0, the bars' full cell) beside text the ROM lacks.
    std::u32string frame = U"\x01\x02\x03\x04\x05\x06\x07\x08 " + kRussian;
    frame = Padded(frame);
    Show(frame);
    const std::string codes = module_->Codes();
    for (std::size_t i = 0; i < 8; ++i) {
        const auto code = static_cast<std::uint8_t>(codes[i]);
        ASSERT_TRUE(IsSlot(code)) << "cell " << i;
        EXPECT_EQ(module_->Slot(code & 7), own[frame[i] & 7]) << "cell " << i;
    }
    for (std::size_t i = 8; i < frame.size(); ++i)
        EXPECT_EQ(static_cast<std::uint8_t>(codes[i]), ResolveOnRom(rom(), frame[i]).code)
            << "cell " << i << ": no slot is left for letters";
}

TEST_P(UnicodeFrames, AReconnectedModuleGetsItsSlotsAgain)
{
    Show(Padded(kRussian));
    bench_.Unplug();
    bench_.writer->ShowUnicode(Padded(kGreek)); // fails on the link: the module is away
    EXPECT_TRUE(bench_.writer->WaitUntilSent(5s));
    // A new module, blank and without user characters, takes the place of the old one.
    module_ = GetParam().link();
    const int opens = bench_.opens();
    bench_.PlugIn();
    bench_.writer->TryNow();
    // Until the writer is linked again: while the module was away, "sent" was true at once.
    ASSERT_TRUE(pixtera::test::Eventually([&] {
        module_->Feed(bench_.Sent());
        return bench_.opens() > opens && Read(rom(), *module_, Padded(kGreek)).right;
    }));
    ExpectShown(kGreek, "after the reconnection");
}

TEST_P(UnicodeFrames, ABarABigClockAndCyrillicShareTheSlotsInTheirOrder)
{
    Glyph full{};
    full.fill(0x1F);
    bench_.writer->Define(0, full); // the design's own character 0: its bars' full cell
    const BigText clock = DrawBigText(U"12:45", 2, static_cast<std::size_t>(kGeometry.columns));
    ASSERT_EQ(clock.rows.size(), 2u);
    const auto line = [](std::u32string text) {
        text.resize(static_cast<std::size_t>(kGeometry.columns), U' ');
        return text;
    };
    const std::u32string text = U"Привет, мир";
    const std::u32string frame =
        line(clock.rows[0]) + line(clock.rows[1]) + line(std::u32string(12, U'\x08')) + line(text);
    Show(frame);
    const std::string codes = module_->Codes();
    const std::size_t columns = static_cast<std::size_t>(kGeometry.columns);
    for (std::size_t i = 0; i < 2 * columns; ++i) {
        const auto code = static_cast<std::uint8_t>(codes[i]);
        const auto wanted = DrawnGlyphCell(rom(), frame[i]);
        if (!wanted) {
            EXPECT_EQ(code, ResolveOnRom(rom(), frame[i]).code) << "cell " << i;
        } else if (wanted->glyph) {
            ASSERT_TRUE(IsSlot(code)) << "cell " << i << ": a digit's part fell back while letters had slots"
                                      << ShownScreen(rom(), *module_);
            EXPECT_EQ(module_->Slot(code & 7), wanted->glyph->rows) << "cell " << i;
        } else {
            EXPECT_EQ(code, wanted->code) << "cell " << i << ": the ROM's own sign";
        }
    }
    for (std::size_t i = 2 * columns; i < 2 * columns + 12; ++i) {
        const auto code = static_cast<std::uint8_t>(codes[i]);
        ASSERT_TRUE(IsSlot(code)) << "cell " << i;
        EXPECT_EQ(module_->Slot(code & 7), full) << "cell " << i << ": the bar keeps the design's character";
    }
    std::set<Glyph> slotsShown;
    for (std::size_t i = 0; i < frame.size(); ++i)
        if (const auto code = static_cast<std::uint8_t>(codes[i]); IsSlot(code))
            slotsShown.insert(module_->Slot(code & 7));
    EXPECT_LE(slotsShown.size(), kUserSlots);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto code = static_cast<std::uint8_t>(codes[3 * columns + i]);
        const RomCode onRom = ResolveOnRom(rom(), text[i]);
        if (IsSlot(code))
            EXPECT_EQ(module_->Slot(code & 7), LetterGlyph(text[i])) << "letter " << i;
        else
            EXPECT_EQ(code, onRom.code) << "letter " << i << ": its stand-in";
    }
    EXPECT_EQ(Show(frame), "") << "an unchanged screen sends nothing";
}

std::unique_ptr<Module> MakeI2c() { return std::make_unique<I2cModule>(); }
std::unique_ptr<Module> MakeSerial() { return std::make_unique<SerialModule>(); }

INSTANTIATE_TEST_SUITE_P(OnEachRomAndLink, UnicodeFrames,
                         ::testing::Values(Case{"I2cA00", MakeI2c, CharacterRom::A00},
                                           Case{"I2cA02", MakeI2c, CharacterRom::A02},
                                           Case{"I2cCyrillic", MakeI2c, CharacterRom::Cyrillic},
                                           Case{"SerialA00", MakeSerial, CharacterRom::A00},
                                           Case{"SerialA02", MakeSerial, CharacterRom::A02},
                                           Case{"SerialCyrillic", MakeSerial, CharacterRom::Cyrillic}),
                         [](const ::testing::TestParamInfo<Case>& each) { return std::string(each.param.name); });

} // namespace
