// SPDX-License-Identifier: MIT
#pragma once
// A module the kernel drives through its charlcd driver (/dev/lcd, as the hd44780-lcd overlays set
// it up): the kernel knows the controller, its wiring and its timing, so what goes through the
// device is text and the driver's escape sequences (ESC [ L ...).

#include "lcd_protocol.h"

#include <pixtera/sdk/character_rom.h>

namespace pixtera::lcd {

class KernelLcdProtocol final : public LcdProtocol {
public:
    explicit KernelLcdProtocol(bool backlight, CharacterRom rom = CharacterRom::A00) : backlight_(backlight), rom_(rom)
    {
    }

    void Initialise(LinkBatch& batch) const override;
    // ESC [ L x<column> y<row> ;
    void MoveTo(LinkBatch& batch, int column, int row) const override;
    void WriteCodes(LinkBatch& batch, std::string_view codes) const override;
    CharacterRom rom() const override { return rom_; }
    // ESC [ L G <code> <the eight rows as two hexadecimal digits each> ;
    void Define(LinkBatch& batch, int code, const Glyph& glyph) const override;
    // The kernel sends a jump as one instruction, as it does a character.
    int jumpCost() const override { return 1; }
    // ESC [ L + and ESC [ L -; the kernel ignores them where no backlight line is wired.
    void Backlight(LinkBatch& batch, bool on) override;

private:
    bool backlight_;
    CharacterRom rom_;
};

} // namespace pixtera::lcd
