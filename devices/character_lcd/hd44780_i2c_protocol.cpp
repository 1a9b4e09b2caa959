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

std::uint8_t NibbleOf(std::uint8_t lines, const Pcf8574Pins& pins)
{
    std::uint8_t nibble = 0;
    for (int bit = 0; bit < 4; ++bit)
        if (lines & pins.data[bit])
            nibble |= static_cast<std::uint8_t>(1 << bit);
    return nibble;
}

// Bus clocks between the end of one instruction and the latch of the next one's first nibble:
// that nibble's two bytes, and a start and address byte when it opens a message.
constexpr int kClocksInMessage = 2 * 9;
constexpr int kClocksAtMessageStart = kClocksInMessage + 1 + 9;

} // namespace

std::chrono::microseconds InstructionTime(Hd44780Timing timing)
{
    switch (timing) {
    case Hd44780Timing::Fast: return microseconds(37);
    case Hd44780Timing::Standard: break;
    case Hd44780Timing::Slow: return microseconds(120);
    }
    return microseconds(50);
}

std::chrono::microseconds ClearTime(Hd44780Timing timing)
{
    switch (timing) {
    case Hd44780Timing::Fast: return microseconds(1520);
    case Hd44780Timing::Standard: break;
    case Hd44780Timing::Slow: return microseconds(5000);
    }
    return microseconds(2000);
}

std::optional<std::uint8_t> ReadStatus(ExpanderPort& port, const Pcf8574Pins& pins, bool backlight)
{
    const std::uint8_t light = backlight ? pins.backlight : 0;
    const auto idle =
        static_cast<std::uint8_t>(light | pins.rw | pins.data[0] | pins.data[1] | pins.data[2] | pins.data[3]);
    std::uint8_t status = 0;
    for (int half = 0; half < 2; ++half) {
        if (!port.Write(idle) || !port.Write(static_cast<std::uint8_t>(idle | pins.enable)))
            return std::nullopt;
        const auto lines = port.Read();
        if (!lines || !port.Write(idle))
            return std::nullopt;
        status = static_cast<std::uint8_t>(status << 4 | NibbleOf(*lines, pins));
    }
    port.Write(light); // RW low again
    return status;
}

std::optional<std::uint8_t> Hd44780I2cProtocol::ReadStatus(DeviceLink& link) const
{
    if (!readable_)
        return std::nullopt;
    LinkExpanderPort port(link);
    return lcd::ReadStatus(port, pins_, backlight_);
}

void Hd44780I2cProtocol::Pace(LinkBatch& batch) const
{
    // A batch's first instruction may follow the last one of the batch before at once.
    const auto& segments = batch.segments();
    int clocks = kClocksInMessage;
    if (batch.AtMessageStart()) {
        if (segments.size() >= 2 && segments[segments.size() - 2].pause.count() > 0)
            return; // waited for already
        clocks = kClocksAtMessageStart;
    }
    const auto needed = static_cast<int>(
        (static_cast<long long>(InstructionTime(pacing_.timing).count()) * pacing_.busHz + 999999) / 1000000);
    const std::uint8_t idle = Lines(0, false);
    for (; clocks < needed; clocks += 9)
        batch.Add(static_cast<char>(idle));
}

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
    Pace(batch);
    Nibble(batch, command >> 4, false);
    Nibble(batch, command & 0x0F, false);
}

void Hd44780I2cProtocol::Data(LinkBatch& batch, std::uint8_t byte) const
{
    Pace(batch);
    Nibble(batch, byte >> 4, true);
    Nibble(batch, byte & 0x0F, true);
}

void Hd44780I2cProtocol::Initialise(LinkBatch& batch) const
{
    // Whatever mode the controller is in, even half-way through a 4-bit byte, three "8-bit"
    // function sets bring it to 8-bit mode; the fourth switches to 4 bits.
    const bool slow = pacing_.timing == Hd44780Timing::Slow;
    batch.Add(static_cast<char>(Lines(0, false)));
    batch.Pause(microseconds(50000)); // power-on time, should the module just have come up
    Nibble(batch, 0x3, false);
    batch.Pause(microseconds(slow ? 13000 : 4500));
    Nibble(batch, 0x3, false);
    batch.Pause(microseconds(slow ? 400 : 150));
    Nibble(batch, 0x3, false);
    batch.Pause(microseconds(slow ? 400 : 150));
    Nibble(batch, 0x2, false);
    batch.Pause(microseconds(slow ? 400 : 150));
    Command(batch, kFunctionSet4Bit | (geometry_.rows > 1 ? kTwoLines : 0));
    Command(batch, kDisplayOff);
    Command(batch, kClear);
    // The only clear: frames write their cells. A module that can be read says when it is done.
    batch.Pause(ClearTime(pacing_.timing), readable_);
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
