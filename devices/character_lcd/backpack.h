// SPDX-License-Identifier: MIT
#pragma once
// Which expander a module sits behind and how it is wired to it. A PCF8574 is one port whose byte
// is the lines; an MCP23008 or MCP23017 is a register file, every message starting with the
// register it writes. The driver keeps the MCPs in byte mode (IOCON.SEQOP) with BANK=0: the
// MCP23008's pointer then stays on the output latch, so a run of nibbles is one message, and the
// MCP23017's toggles between the A and B latches, so each byte to the LCD's port B follows one to
// port A.

#include <cstdint>
#include <optional>
#include <string_view>

namespace pixtera::lcd {

// Which expander pin drives which controller line (masks; 0: not wired).
struct Pcf8574Pins {
    std::uint8_t rs, rw, enable, backlight;
    std::uint8_t data[4]; // D4..D7

    // "a": RS P0, RW P1, E P2, backlight P3, D4-D7 on P4-P7 (most backpacks).
    static constexpr Pcf8574Pins A() { return {0x01, 0x02, 0x04, 0x08, {0x10, 0x20, 0x40, 0x80}}; }
    // "b": D4-D7 on P0-P3, E P4, RW P5, RS P6, backlight P7.
    static constexpr Pcf8574Pins B() { return {0x40, 0x20, 0x10, 0x80, {0x01, 0x02, 0x04, 0x08}}; }

    std::uint8_t dataLines() const { return static_cast<std::uint8_t>(data[0] | data[1] | data[2] | data[3]); }
    std::uint8_t used() const { return static_cast<std::uint8_t>(rs | rw | enable | backlight | dataLines()); }
};

enum class ExpanderChip { Pcf8574, Mcp23008, Mcp23017 };

const char* ExpanderName(ExpanderChip chip); // "PCF8574"
const char* ExpanderKey(ExpanderChip chip); // "pcf8574", as expander= spells it
std::optional<ExpanderChip> ParseExpander(std::string_view key);

struct Backpack {
    ExpanderChip chip = ExpanderChip::Pcf8574;
    Pcf8574Pins pins = Pcf8574Pins::A(); // on the PCF8574's port, the MCP23008's, the MCP23017's port B
    bool backlightLow = false; // lit by a low line
    // An MCP23017's port A: lines that light the backlight too (as `backlightLow` says), and
    // inputs with pull-ups (buttons to ground).
    std::uint8_t portABacklight = 0;
    std::uint8_t portAInputs = 0;

    Backpack() = default;
    Backpack(Pcf8574Pins wiring) : pins(wiring) {} // a PCF8574 wired so
    Backpack(ExpanderChip expander, Pcf8574Pins wiring) : chip(expander), pins(wiring) {}

    // The I2C/SPI backpack with an MCP23008: RS GP1, E GP2, D4-D7 GP3-GP6, backlight GP7; RW is
    // tied to ground.
    static Backpack Adafruit();
    // The RGB LCD plate with an MCP23017: port B RS B7, RW B6, E B5, D4-D7 on B4-B1 (reversed),
    // the blue LED B0; port A the red and green LEDs A6 and A7 (all three lit low) and the
    // buttons Select, Right, Down, Up and Left on A0-A4.
    static Backpack Plate();

    bool isMcp() const { return chip != ExpanderChip::Pcf8574; }
    // The lines that light (or darken) the backlight on the LCD's port.
    std::uint8_t BacklightLines(bool on) const { return on != backlightLow ? pins.backlight : 0; }
    // Port A's latch with the backlight so.
    std::uint8_t PortA(bool on) const { return on != backlightLow ? portABacklight : 0; }
};

// MCP230xx registers as the MCP23008 numbers them; on an MCP23017 (BANK=0) register r of port p
// is at 2r + p.
namespace mcp {
inline constexpr int kIodir = 0, kIpol = 1, kGpinten = 2, kDefval = 3, kIntcon = 4, kIocon = 5, kGppu = 6, kIntf = 7,
                     kIntcap = 8, kGpio = 9, kOlat = 10;
inline constexpr int kRegisters = 11;
inline constexpr std::uint8_t kSeqop = 0x20; // IOCON: byte mode, the pointer does not run on
inline constexpr std::uint8_t kBank = 0x80; // IOCON: the MCP23017's ports in separate banks
inline constexpr int kPortA = 0, kPortB = 1;
} // namespace mcp

// The address of `reg` on `port` (port B on an MCP23017 is the LCD's).
constexpr std::uint8_t McpRegister(ExpanderChip chip, int reg, int port = mcp::kPortB)
{
    return static_cast<std::uint8_t>(chip == ExpanderChip::Mcp23017 ? 2 * reg + port : reg);
}

} // namespace pixtera::lcd
