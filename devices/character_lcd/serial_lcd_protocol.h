// SPDX-License-Identifier: MIT
#pragma once
// Serial and USB-serial character LCDs that take commands after a 0xFE prefix: clear 0x58, cursor
// to column/row 0x47 c r (from 1), define character 0x4E n b0..b7, backlight on 0x42 (minutes,
// 0 = for good) and off 0x46, contrast 0x50 v, brightness 0x99 v, the keypad's auto-repeat 0x7E m
// (0 typematic, 1 key down and up) and 0x60 (off), and the others the initialisation uses to
// switch the module's own extras off. The Adafruit USB+Serial backpack adds its RGB backlight
// 0xD0 r g b and its size 0xD1 columns rows.

#include "lcd_protocol.h"
#include "serial_keypad.h"

#include <pixtera/sdk/character_rom.h>

#include <optional>

namespace pixtera::lcd {

enum class SerialModel { Generic, Adafruit };

struct SerialLcdOptions {
    bool backlight = true;
    std::optional<int> contrast; // 0-255, only sent when set
    std::optional<int> brightness; // 0-255, only sent when set
    CharacterRom rom = CharacterRom::A00;
};

// What only some modules have: a keypad, or the Adafruit backpack's commands.
struct SerialModuleExtras {
    std::optional<KeyRepeat> keyRepeat; // only sent when set: the module keeps it otherwise
    SerialModel model = SerialModel::Generic;
    // The Adafruit backpack's: both are kept in its EEPROM, so they are sent only as it is
    // initialised.
    std::array<std::uint8_t, 3> colour{255, 255, 255};
    Geometry size;
};

class SerialLcdProtocol final : public LcdProtocol {
public:
    explicit SerialLcdProtocol(SerialLcdOptions options, SerialModuleExtras extras = {})
        : options_(options), extras_(extras)
    {
    }

    void Initialise(LinkBatch& batch) const override;
    void MoveTo(LinkBatch& batch, int column, int row) const override;
    // Characters go as the module's ROM has them (never as the prefix byte); codes 8-15 are the
    // user characters 0-7.
    void WriteCodes(LinkBatch& batch, std::string_view codes) const override;
    CharacterRom rom() const override { return options_.rom; }
    void Define(LinkBatch& batch, int code, const Glyph& glyph) const override;
    // 0xFE 0x47 column row: four bytes.
    int jumpCost() const override { return 4; }
    void Backlight(LinkBatch& batch, bool on) override;
    bool Brightness(LinkBatch& batch, int level) override;

private:
    static void SwitchBacklight(LinkBatch& batch, bool on);

    SerialLcdOptions options_;
    const SerialModuleExtras extras_;
};

inline constexpr char kSerialPrefix = static_cast<char>(0xFE);

} // namespace pixtera::lcd
