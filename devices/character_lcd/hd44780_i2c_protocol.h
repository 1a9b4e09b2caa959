// SPDX-License-Identifier: MIT
#pragma once
// An HD44780 controller in 4-bit mode behind an I2C port expander (backpack.h): every nibble is
// two writes of the expander's lines, the enable line high and then low (the controller latches on
// the fall).

#include "backpack.h"
#include "expander_port.h"
#include "lcd_protocol.h"

#include <pixtera/sdk/character_rom.h>

#include <cstdint>

namespace pixtera::lcd {

// How long the controller takes over an instruction: fast, a genuine one at its nominal clock
// (37 us, a clear 1.52 ms); standard, with room for a slow oscillator (50 us, 2 ms); slow, clones
// that take about 120 us (5 ms).
enum class Hd44780Timing { Fast, Standard, Slow };

struct Pacing {
    Hd44780Timing timing = Hd44780Timing::Standard;
    int busHz = 100000; // the I2C bus clock: how long bytes take on the wire
    std::size_t largestMessage = 0; // the most bytes the adapter takes in one message; 0: no limit
};

std::chrono::microseconds InstructionTime(Hd44780Timing timing);
std::chrono::microseconds ClearTime(Hd44780Timing timing);

// The busy flag (bit 7) and address counter: RW high, E pulsed twice, D4-D7 read while E is
// high, with the data lines written high so that the expander's weak outputs let the controller
// drive them; the backlight line as `backlight` says.
std::optional<std::uint8_t> ReadStatus(ExpanderPort& port, const Backpack& backpack, bool backlight = true);

class Hd44780I2cProtocol final : public LcdProtocol {
public:
    Hd44780I2cProtocol(Geometry geometry, Backpack backpack, bool backlight, CharacterRom rom = CharacterRom::A00,
                       Pacing pacing = {})
        : geometry_(geometry), backpack_(backpack), backlight_(backlight), rom_(rom), pacing_(pacing)
    {
    }

    // The map found when the module was read back, the expander identified, and whether it can
    // be read (its RW line is wired); called on the writer's thread, which alone uses the protocol.
    void SetPins(Pcf8574Pins pins) { backpack_.pins = pins; }
    void SetBackpack(const Backpack& backpack) { backpack_ = backpack; }
    const Backpack& backpack() const { return backpack_; }
    void SetReadable(bool readable) { readable_ = readable; }

    std::optional<std::uint8_t> ReadStatus(DeviceLink& link) const override;
    bool readable() const override { return readable_; }
    // The buttons on an MCP23017's port A held down (a bit set per pressed line of
    // Backpack::portAInputs); nothing when the backpack has none or the bus failed.
    std::optional<std::uint8_t> ReadButtons(DeviceLink& link) const;

    void Initialise(LinkBatch& batch) const override;
    void MoveTo(LinkBatch& batch, int column, int row) const override;
    void WriteCodes(LinkBatch& batch, std::string_view codes) const override;
    CharacterRom rom() const override { return rom_; }
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
    // The lines on the LCD's port, spelt for the expander: on an MCP a message starts with the
    // latch's register, and on an MCP23017 every later write to port B follows one to port A.
    void Put(LinkBatch& batch, std::uint8_t lines) const;
    // Bus clocks of a Put inside a message, and of a message's start up to its first Put.
    int PutClocks() const;
    int StartClocks() const;
    // An MCP's byte mode, directions, pull-ups and latches, before anything else.
    void Configure(LinkBatch& batch) const;
    // Idle bytes before an instruction, where the bus alone would bring it before the
    // controller is done with the last one.
    void Pace(LinkBatch& batch) const;
    void Nibble(LinkBatch& batch, std::uint8_t nibble, bool data) const;
    // A new message before an instruction that might not fit the adapter's largest.
    void Fit(LinkBatch& batch) const;
    void Command(LinkBatch& batch, std::uint8_t command) const;
    void Data(LinkBatch& batch, std::uint8_t byte) const;

    Geometry geometry_;
    Backpack backpack_;
    bool backlight_;
    CharacterRom rom_;
    Pacing pacing_;
    bool readable_ = false;
};

} // namespace pixtera::lcd
