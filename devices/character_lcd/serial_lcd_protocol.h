// SPDX-License-Identifier: MIT
#pragma once
// Serial and USB-serial character LCDs that take commands after a 0xFE prefix: clear 0x58, cursor
// to column/row 0x47 c r (from 1), define character 0x4E n b0..b7, backlight on 0x42 (minutes,
// 0 = for good) and off 0x46, contrast 0x50 v, brightness 0x99 v, and the others the
// initialisation uses to switch the module's own extras off.

#include "lcd_protocol.h"

#include <pixtera/sdk/character_rom.h>

#include <optional>

namespace pixtera::lcd {

struct SerialLcdOptions {
    bool backlight = true;
    std::optional<int> contrast; // 0-255, only sent when set
    std::optional<int> brightness; // 0-255, only sent when set
    CharacterRom rom = CharacterRom::A00;
};

class SerialLcdProtocol final : public LcdProtocol {
public:
    explicit SerialLcdProtocol(SerialLcdOptions options) : options_(options) {}

    void Initialise(LinkBatch& batch) const override;
    void MoveTo(LinkBatch& batch, int column, int row) const override;
    // Characters go as the module's ROM has them (never as the prefix byte); codes 8-15 are the
    // user characters 0-7.
    void Write(LinkBatch& batch, std::string_view text) const override;
    void Define(LinkBatch& batch, int code, const Glyph& glyph) const override;
    // 0xFE 0x47 column row: four bytes.
    int jumpCost() const override { return 4; }
    void Backlight(LinkBatch& batch, bool on) override;
    bool Brightness(LinkBatch& batch, int level) override;

private:
    static void SwitchBacklight(LinkBatch& batch, bool on);

    SerialLcdOptions options_;
};

inline constexpr char kSerialPrefix = static_cast<char>(0xFE);

} // namespace pixtera::lcd
