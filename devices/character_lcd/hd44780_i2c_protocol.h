// SPDX-License-Identifier: MIT
#pragma once
// An HD44780 controller in 4-bit mode behind a PCF8574 I2C port expander: every nibble is two
// expander bytes, the enable line high and then low (the controller latches on the fall).

#include "expander_port.h"
#include "lcd_protocol.h"

#include <pixtera/sdk/character_rom.h>

#include <cstdint>

namespace pixtera::lcd {

// Which expander pin drives which controller line.
struct Pcf8574Pins {
    std::uint8_t rs, rw, enable, backlight;
    std::uint8_t data[4]; // D4..D7

    // "a": RS P0, RW P1, E P2, backlight P3, D4-D7 on P4-P7 (most backpacks).
    static constexpr Pcf8574Pins A() { return {0x01, 0x02, 0x04, 0x08, {0x10, 0x20, 0x40, 0x80}}; }
    // "b": D4-D7 on P0-P3, E P4, RW P5, RS P6, backlight P7.
    static constexpr Pcf8574Pins B() { return {0x40, 0x20, 0x10, 0x80, {0x01, 0x02, 0x04, 0x08}}; }
};

// How long the controller takes over an instruction: fast, a genuine one at its nominal clock
// (37 us, a clear 1.52 ms); standard, with room for a slow oscillator (50 us, 2 ms); slow, clones
// that take about 120 us (5 ms).
enum class Hd44780Timing { Fast, Standard, Slow };

struct Pacing {
    Hd44780Timing timing = Hd44780Timing::Standard;
    int busHz = 100000; // the I2C bus clock: how long bytes take on the wire
};

std::chrono::microseconds InstructionTime(Hd44780Timing timing);
std::chrono::microseconds ClearTime(Hd44780Timing timing);

// The busy flag (bit 7) and address counter: RW high, E pulsed twice, D4-D7 read while E is
// high, with the data lines written high so that the expander's weak outputs let the controller
// drive them; the backlight line as `backlight` says.
std::optional<std::uint8_t> ReadStatus(ExpanderPort& port, const Pcf8574Pins& pins, bool backlight = true);

class Hd44780I2cProtocol final : public LcdProtocol {
public:
    Hd44780I2cProtocol(Geometry geometry, Pcf8574Pins pins, bool backlight, CharacterRom rom = CharacterRom::A00,
                       Pacing pacing = {})
        : geometry_(geometry), pins_(pins), backlight_(backlight), rom_(rom), pacing_(pacing)
    {
    }

    // The map found when the module was read back, and whether it can be read (its RW line is
    // wired); called on the writer's thread, which alone uses the protocol.
    void SetPins(Pcf8574Pins pins) { pins_ = pins; }
    void SetReadable(bool readable) { readable_ = readable; }

    std::optional<std::uint8_t> ReadStatus(DeviceLink& link) const override;
    bool readable() const override { return readable_; }

    void Initialise(LinkBatch& batch) const override;
    void MoveTo(LinkBatch& batch, int column, int row) const override;
    void Write(LinkBatch& batch, std::string_view text) const override;
    void Define(LinkBatch& batch, int code, const Glyph& glyph) const override;
    // A jump is one instruction, as is a character.
    int jumpCost() const override { return 1; }
    // The DDRAM address: on a 20x4 module row 2 continues row 0.
    int CursorAt(int column, int row) const override { return Address(column, row, geometry_.columns); }
    int CursorAfter(int address) const override;
    // The backpack's backlight line is part of every byte sent.
    void Backlight(LinkBatch& batch, bool on) override;

    // The DDRAM address of a cell: rows 2 and 3 continue rows 0 and 1.
    static int Address(int column, int row, int columns);

private:
    std::uint8_t Lines(std::uint8_t nibble, bool data) const;
    // Idle bytes before an instruction, where the bus alone would bring it before the
    // controller is done with the last one.
    void Pace(LinkBatch& batch) const;
    void Nibble(LinkBatch& batch, std::uint8_t nibble, bool data) const;
    void Command(LinkBatch& batch, std::uint8_t command) const;
    void Data(LinkBatch& batch, std::uint8_t byte) const;

    Geometry geometry_;
    Pcf8574Pins pins_;
    bool backlight_;
    CharacterRom rom_;
    Pacing pacing_;
    bool readable_ = false;
};

} // namespace pixtera::lcd
