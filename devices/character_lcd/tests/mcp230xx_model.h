// SPDX-License-Identifier: MIT
#pragma once
// An MCP23008 or MCP23017 with an HD44780 behind it wired as a backpack says, for the tests. Its
// register file is addressed as with IOCON.BANK=0 (BANK=1 is noted, not followed); the pointer is
// set by a write's first byte and runs on after each byte as IOCON.SEQOP says: sequentially with
// a roll-over to 0, or, in byte mode, staying put on an MCP23008 and toggling between a register
// pair's A and B on an MCP23017. Writes to GPIO go to OLAT; GPIO reads the pins, inputs through
// IPOL. The LCD's lines are its port's outputs (inputs float high, as the controller pulls them);
// while the controller is read, D4-D7 are its status wherever they are inputs, and where the
// expander drives them too that is counted as a clash. Inputs on port A are pressed buttons
// (low), or pulled up by GPPU, or low.

#include "backpack.h"
#include "hd44780_model.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace pixtera::lcd::test {

class Mcp230xxModel {
public:
    explicit Mcp230xxModel(const Backpack& backpack);

    // One I2C write message: the register's address, then data.
    void Write(std::string_view message);
    // One byte of a read message.
    std::uint8_t Read();

    // Port A lines held low by buttons (MCP23017).
    void Press(std::uint8_t lines) { pressed_ = lines; }

    // The register at a BANK=0 address; 0 where there is none.
    std::uint8_t Register(int address) const;
    // What port `port`'s pins carry.
    std::uint8_t Pins(int port) const;
    Hd44780Model& module() { return module_; }
    const Hd44780Model& module() const { return module_; }
    int clashes() const { return clashes_; }
    bool bankSet() const { return bankSet_; }
    int dataWrites() const { return dataWrites_; }

private:
    bool Valid(int address) const { return address >= 0 && address < registerCount_; }
    std::uint8_t& At(int address);
    void Store(int address, std::uint8_t value);
    void Advance();
    void FollowLcdPort();

    Backpack backpack_;
    int registerCount_;
    int lcdPort_;
    std::array<std::array<std::uint8_t, mcp::kRegisters>, 2> registers_{};
    int pointer_ = 0;
    std::uint8_t pressed_ = 0;
    std::uint8_t fed_ = 0xFF; // the lines last given to the controller
    Hd44780Model module_;
    int clashes_ = 0;
    bool bankSet_ = false;
    int dataWrites_ = 0;
};

} // namespace pixtera::lcd::test
