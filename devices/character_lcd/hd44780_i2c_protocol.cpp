// SPDX-License-Identifier: MIT
#include "hd44780_i2c_protocol.h"

namespace pixtera::lcd {
namespace {

using std::chrono::microseconds;

constexpr std::uint8_t kClear = 0x01;
constexpr std::uint8_t kEntryIncrement = 0x06;
constexpr std::uint8_t kDisplayOff = 0x08;
constexpr std::uint8_t kDisplayOnCursorOff = 0x0C;
constexpr std::uint8_t kFunctionSet4Bit = 0x20;
constexpr std::uint8_t kTwoLines = 0x08;
constexpr std::uint8_t kSetCgramAddress = 0x40;
constexpr std::uint8_t kSetDdramAddress = 0x80;

} // namespace

int Hd44780I2cProtocol::Address(int column, int row, int columns)
{
    return (row % 2) * 0x40 + (row / 2) * columns + column;
}

int Hd44780I2cProtocol::CursorAfter(int address) const
{
    // Two lines: 0x00-0x27 and 0x40-0x67, each running on into the other; one line: 0x00-0x4F.
    const int next = address + 1;
    if (geometry_.rows > 1)
        return next == 0x28 ? 0x40 : next == 0x68 ? 0x00 : next;
    return next == 0x50 ? 0x00 : next;
}

std::uint8_t Hd44780I2cProtocol::Lines(std::uint8_t nibble, bool data) const
{
    std::uint8_t lines = backlight_ ? pins_.backlight : 0;
    if (data)
        lines |= pins_.rs;
    for (int bit = 0; bit < 4; ++bit)
        if (nibble & (1 << bit))
            lines |= pins_.data[bit];
    return lines;
}

void Hd44780I2cProtocol::Backlight(LinkBatch& batch, bool on)
{
    backlight_ = on;
    batch.Add(static_cast<char>(Lines(0, false))); // E low: the controller takes nothing
}

void Hd44780I2cProtocol::Nibble(LinkBatch& batch, std::uint8_t nibble, bool data) const
{
    const std::uint8_t lines = Lines(nibble, data);
    batch.Add(static_cast<char>(lines | pins_.enable));
    batch.Add(static_cast<char>(lines));
}

void Hd44780I2cProtocol::Command(LinkBatch& batch, std::uint8_t command) const
{
    Nibble(batch, command >> 4, false);
    Nibble(batch, command & 0x0F, false);
}

void Hd44780I2cProtocol::Data(LinkBatch& batch, std::uint8_t byte) const
{
    Nibble(batch, byte >> 4, true);
    Nibble(batch, byte & 0x0F, true);
}

void Hd44780I2cProtocol::Initialise(LinkBatch& batch) const
{
    // Whatever mode the controller is in, even half-way through a 4-bit byte, three "8-bit"
    // function sets bring it to 8-bit mode; the fourth switches to 4 bits.
    batch.Add(static_cast<char>(Lines(0, false)));
    batch.Pause(microseconds(50000)); // power-on time, should the module just have come up
    Nibble(batch, 0x3, false);
    batch.Pause(microseconds(4500));
    Nibble(batch, 0x3, false);
    batch.Pause(microseconds(150));
    Nibble(batch, 0x3, false);
    batch.Pause(microseconds(150));
    Nibble(batch, 0x2, false);
    batch.Pause(microseconds(150));
    Command(batch, kFunctionSet4Bit | (geometry_.rows > 1 ? kTwoLines : 0));
    Command(batch, kDisplayOff);
    Command(batch, kClear);
    batch.Pause(microseconds(2000));
    Command(batch, kEntryIncrement);
    Command(batch, kDisplayOnCursorOff);
}

void Hd44780I2cProtocol::MoveTo(LinkBatch& batch, int column, int row) const
{
    Command(batch, static_cast<std::uint8_t>(kSetDdramAddress | (Address(column, row, geometry_.columns) & 0x7F)));
}

void Hd44780I2cProtocol::Write(LinkBatch& batch, std::string_view text) const
{
    for (char c : text)
        Data(batch, ToModule(rom_, static_cast<std::uint8_t>(c)));
}

void Hd44780I2cProtocol::Define(LinkBatch& batch, int code, const Glyph& glyph) const
{
    Command(batch, static_cast<std::uint8_t>(kSetCgramAddress | ((code & 7) << 3)));
    for (std::uint8_t row : glyph)
        Data(batch, row & 0x1F);
}

} // namespace pixtera::lcd
