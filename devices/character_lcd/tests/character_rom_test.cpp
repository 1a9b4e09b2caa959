// SPDX-License-Identifier: MIT
// The character ROMs: every Windows-1252 character goes to a code with a glyph, the known ones
// to theirs, nothing to a control code or the serial command prefix; and both protocols carry
// the mapped codes, while frames and designs keep their text.

#include "hd44780_i2c_protocol.h"
#include "hd44780_model.h"
#include "serial_lcd_model.h"
#include "serial_lcd_protocol.h"

#include <pixtera/sdk/character_rom.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcd;
using test::Hd44780Model;
using test::SerialLcdModel;

TEST(CharacterRom, EveryCharacterHasAGlyphOnEitherRom)
{
    for (CharacterRom rom : kCharacterRoms) {
        for (int c = 0; c < 256; ++c) {
            const std::uint8_t code = ToModule(rom, static_cast<std::uint8_t>(c));
            if (c < 16) {
                EXPECT_EQ(code, c) << "user characters pass unchanged";
                continue;
            }
            EXPECT_GE(code, 0x20) << RomName(rom) << " " << c << ": no printable character goes to a control code";
            EXPECT_NE(code, 0xFE) << RomName(rom) << " " << c << ": the serial command prefix";
            EXPECT_FALSE(GlyphText(rom, code).empty())
                << RomName(rom) << " " << c << " -> " << int(code) << " shows nothing";
        }
        for (char ascii = 'A'; ascii <= 'z'; ++ascii) {
            if (ascii != '\\') {
                EXPECT_EQ(ToModule(rom, static_cast<std::uint8_t>(ascii)), static_cast<std::uint8_t>(ascii));
            }
        }
    }
    struct Known {
        unsigned char character;
        std::uint8_t a00;
        std::uint8_t a02;
    };
    // ä ö ü ß ° µ ñ ÷ ¥ \ ~ Ä é
    const Known known[] = {{0xE4, 0xE1, 0xE4}, {0xF6, 0xEF, 0xF6}, {0xFC, 0xF5, 0xFC}, {0xDF, 0xE2, 0xDF},
                           {0xB0, 0xDF, 0xB0}, {0xB5, 0xE4, 0xB5}, {0xF1, 0xEE, 0xF1}, {0xF7, 0xFD, 0xF7},
                           {0xA5, 0x5C, 0xA5}, {'\\', '/', '\\'},  {'~', '-', '~'},    {0xC4, 'A', 0xC4},
                           {0xE9, 'e', 0xE9}};
    for (const Known& k : known) {
        EXPECT_EQ(ToModule(CharacterRom::A00, k.character), k.a00) << int(k.character);
        EXPECT_EQ(ToModule(CharacterRom::A02, k.character), k.a02) << int(k.character);
    }
    // The Cyrillic ROM has no Latin-1 letters and leaves 0x5C and 0x7E alone (makers differ).
    EXPECT_EQ(ToModule(CharacterRom::Cyrillic, "\\~\xE4\xB0\xDF"), "/-aoB");
    EXPECT_EQ(GlyphText(CharacterRom::A00, 0x5C), "¥");
    EXPECT_EQ(GlyphText(CharacterRom::A00, 0x7E), "→");
    EXPECT_EQ(ParseRom("a02"), CharacterRom::A02);
    EXPECT_FALSE(ParseRom("a01"));
}

TEST(CharacterRom, BothProtocolsCarryTheModulesCodes)
{
    const std::string text = "21\xB0"
                             "C K\xFC"
                             "che";
    const Geometry geometry{16, 2};
    for (CharacterRom rom : {CharacterRom::A00, CharacterRom::A02}) {
        Hd44780I2cProtocol i2c(geometry, Pcf8574Pins::A(), true, rom);
        Hd44780Model backpack(Pcf8574Pins::A());
        LinkBatch batch;
        i2c.Initialise(batch);
        i2c.Write(batch, text);
        for (const auto& segment : batch.segments())
            backpack.Feed(segment.bytes);
        EXPECT_EQ(backpack.Visible(16, 2).substr(0, text.size()), ToModule(rom, text)) << RomName(rom);

        SerialLcdOptions options;
        options.rom = rom;
        SerialLcdProtocol serial(options);
        SerialLcdModel module(16, 2);
        LinkBatch bytes;
        serial.Initialise(bytes);
        serial.Write(bytes, text);
        for (const auto& segment : bytes.segments())
            module.Feed(segment.bytes);
        EXPECT_EQ(module.screen().substr(0, text.size()), ToModule(rom, text)) << RomName(rom);
    }
    EXPECT_EQ(ToModule(CharacterRom::A00, text), "21\xDF"
                                                 "C K\xF5"
                                                 "che");
}

} // namespace
