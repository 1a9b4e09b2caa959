// SPDX-License-Identifier: MIT
#pragma once
// Chips that answer at the expander addresses, for the tests: a PCF8574 backpack with an HD44780
// behind it, and three that are no PCF8574 and must be left alone after a byte or two: a chip
// that reads one constant whatever is written (a humidity sensor's status byte), a register-based
// sensor (the first byte written is a register pointer, the rest data into the registers, reads
// run on from the pointer) and a small EEPROM (one address byte, then data; reads run on).

#include "hd44780_model.h"
#include "mcp230xx_model.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pixtera::detection::test {

class I2cChip {
public:
    virtual ~I2cChip() = default;
    virtual std::uint8_t Read() = 0;
    virtual void Write(std::string_view bytes) = 0;
};

class BackpackChip final : public I2cChip {
public:
    BackpackChip(lcd::Pcf8574Pins pins, bool rwWired) : module_(pins, rwWired) {}
    std::uint8_t Read() override { return module_.Read(); }
    void Write(std::string_view bytes) override { module_.Feed(bytes); }

private:
    lcd::test::Hd44780Model module_;
};

class ConstantChip final : public I2cChip {
public:
    explicit ConstantChip(std::uint8_t value) : value_(value) {}
    std::uint8_t Read() override { return value_; }
    void Write(std::string_view) override {}

private:
    std::uint8_t value_;
};

// An MCP23008 or MCP23017 backpack after power-on.
class McpChip final : public I2cChip {
public:
    explicit McpChip(const lcd::Backpack& board) : chip_(board) {}
    std::uint8_t Read() override { return chip_.Read(); }
    void Write(std::string_view bytes) override { chip_.Write(bytes); }

private:
    lcd::test::Mcp230xxModel chip_;
};

// Registers and EEPROM cells alike: a pointer set by the first byte of a write, data after it,
// and reads that advance the pointer.
class PointerChip final : public I2cChip {
public:
    explicit PointerChip(const std::array<std::uint8_t, 256>& cells) : cells_(cells) {}
    std::uint8_t Read() override { return cells_[pointer_++]; }
    void Write(std::string_view bytes) override;

private:
    std::array<std::uint8_t, 256> cells_;
    std::uint8_t pointer_ = 0;
};

// A chip by the name the fake bus is given: "a", "b", "a-norw", "b-norw" (backpacks of either
// pin map, RW wired or not), "mcp23008" (the Adafruit backpack), "mcp23017" (the RGB LCD plate),
// "const18" (reads 0x18), "register" (a sensor whose registers read 0
// but for an identification register), "eeprom" (cells holding their own address); nothing for
// any other name.
std::unique_ptr<I2cChip> MakeChip(std::string_view kind);

} // namespace pixtera::detection::test
