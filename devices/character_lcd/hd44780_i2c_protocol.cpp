// SPDX-License-Identifier: MIT
#include "hd44780_i2c_protocol.h"

#include <initializer_list>

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

std::optional<std::uint8_t> ReadStatus(ExpanderPort& port, const Backpack& backpack, bool backlight)
{
    const Pcf8574Pins& pins = backpack.pins;
    const std::uint8_t light = backpack.BacklightLines(backlight);
    const auto idle = static_cast<std::uint8_t>(light | pins.rw | pins.dataLines());
    if (!port.ReleaseData(true))
        return std::nullopt;
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
    port.ReleaseData(false);
    return status;
}

std::optional<std::uint8_t> Hd44780I2cProtocol::ReadStatus(DeviceLink& link) const
{
    if (!readable_)
        return std::nullopt;
    if (backpack_.isMcp()) {
        McpExpanderPort port(link, backpack_);
        return lcd::ReadStatus(port, backpack_, backlight_);
    }
    LinkExpanderPort port(link);
    return lcd::ReadStatus(port, backpack_, backlight_);
}

std::optional<std::uint8_t> Hd44780I2cProtocol::ReadButtons(DeviceLink& link) const
{
    if (backpack_.chip != ExpanderChip::Mcp23017 || !backpack_.portAInputs)
        return std::nullopt;
    const char gpioA = static_cast<char>(McpRegister(backpack_.chip, mcp::kGpio, mcp::kPortA));
    if (!link.WriteMessage(std::string_view(&gpioA, 1)))
        return std::nullopt;
    const auto lines = link.ReadByte();
    if (!lines)
        return std::nullopt;
    return static_cast<std::uint8_t>(~*lines & backpack_.portAInputs); // a button pulls its line low
}

int Hd44780I2cProtocol::PutClocks() const { return backpack_.chip == ExpanderChip::Mcp23017 ? 2 * 9 : 9; }

int Hd44780I2cProtocol::StartClocks() const
{
    // A start and the address byte; an MCP's register byte; an MCP23017's first write is to port B.
    return 1 + 9 + (backpack_.isMcp() ? 9 : 0) + 9;
}

void Hd44780I2cProtocol::Put(LinkBatch& batch, std::uint8_t lines) const
{
    if (backpack_.isMcp() && batch.AtMessageStart())
        batch.Add(static_cast<char>(McpRegister(backpack_.chip, mcp::kOlat)));
    else if (backpack_.chip == ExpanderChip::Mcp23017)
        batch.Add(static_cast<char>(backpack_.PortA(backlight_))); // the pointer stands on OLATA
    batch.Add(static_cast<char>(lines));
}

void Hd44780I2cProtocol::Configure(LinkBatch& batch) const
{
    if (!backpack_.isMcp())
        return;
    const ExpanderChip chip = backpack_.chip;
    const auto message = [&](int reg, int port, std::initializer_list<std::uint8_t> values) {
        batch.Break();
        batch.Add(static_cast<char>(McpRegister(chip, reg, port)));
        for (const std::uint8_t value : values)
            batch.Add(static_cast<char>(value));
    };
    const std::uint8_t idle = Lines(0, false);
    const auto lcdInputs = static_cast<std::uint8_t>(~backpack_.pins.used());
    // Byte mode first: from then on an MCP23017's pointer takes A and B of a pair in turn. The
    // latches before the directions, so that E is low when it starts to be driven.
    message(mcp::kIocon, mcp::kPortA, {mcp::kSeqop});
    if (chip == ExpanderChip::Mcp23017) {
        const auto aInputs = static_cast<std::uint8_t>(~backpack_.portABacklight);
        message(mcp::kOlat, mcp::kPortA, {backpack_.PortA(backlight_), idle});
        message(mcp::kIpol, mcp::kPortA, {0, 0});
        message(mcp::kGppu, mcp::kPortA, {backpack_.portAInputs, 0});
        message(mcp::kIodir, mcp::kPortA, {aInputs, lcdInputs});
    } else {
        message(mcp::kOlat, 0, {idle});
        message(mcp::kIpol, 0, {0});
        message(mcp::kIodir, 0, {lcdInputs});
    }
    batch.Break();
}

void Hd44780I2cProtocol::Pace(LinkBatch& batch) const
{
    // A batch's first instruction may follow the last one of the batch before at once.
    // Bus clocks between the end of the last instruction and the latch of this one's first
    // nibble: that nibble's two writes, and the message's start when it opens one.
    const auto& segments = batch.segments();
    int clocks = 2 * PutClocks();
    if (batch.AtMessageStart()) {
        if (segments.size() >= 2 && segments[segments.size() - 2].pause.count() > 0)
            return; // waited for already
        clocks = StartClocks() + PutClocks();
    }
    const auto needed = static_cast<int>(
        (static_cast<long long>(InstructionTime(pacing_.timing).count()) * pacing_.busHz + 999999) / 1000000);
    const std::uint8_t idle = Lines(0, false);
    for (; clocks < needed; clocks += PutClocks())
        Put(batch, idle);
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
    std::uint8_t lines = backpack_.BacklightLines(backlight_);
    if (data)
        lines |= backpack_.pins.rs;
    for (int bit = 0; bit < 4; ++bit)
        if (nibble & (1 << bit))
            lines |= backpack_.pins.data[bit];
    return lines;
}

void Hd44780I2cProtocol::Backlight(LinkBatch& batch, bool on)
{
    backlight_ = on;
    const std::uint8_t idle = Lines(0, false); // E low: the controller takes nothing
    if (backpack_.chip != ExpanderChip::Mcp23017) {
        Put(batch, idle);
        return;
    }
    // Both latches, A first; the pointer is back on OLATA afterwards, as Put expects.
    batch.Break();
    batch.Add(static_cast<char>(McpRegister(backpack_.chip, mcp::kOlat, mcp::kPortA)));
    batch.Add(static_cast<char>(backpack_.PortA(on)));
    batch.Add(static_cast<char>(idle));
}

void Hd44780I2cProtocol::Nibble(LinkBatch& batch, std::uint8_t nibble, bool data) const
{
    const std::uint8_t lines = Lines(nibble, data);
    Put(batch, static_cast<std::uint8_t>(lines | backpack_.pins.enable));
    Put(batch, lines);
}

void Hd44780I2cProtocol::Fit(LinkBatch& batch) const
{
    // An instruction with its idle bytes, an MCP23017's port A bytes and a register byte.
    constexpr std::size_t kInstructionRoom = 24;
    if (pacing_.largestMessage == 0 || batch.AtMessageStart())
        return;
    if (batch.segments().back().bytes.size() + kInstructionRoom > pacing_.largestMessage)
        batch.Break(); // Put starts the new message as the expander needs
}

void Hd44780I2cProtocol::Command(LinkBatch& batch, std::uint8_t command) const
{
    Fit(batch);
    Pace(batch);
    Nibble(batch, command >> 4, false);
    Nibble(batch, command & 0x0F, false);
}

void Hd44780I2cProtocol::Data(LinkBatch& batch, std::uint8_t byte) const
{
    Fit(batch);
    Pace(batch);
    Nibble(batch, byte >> 4, true);
    Nibble(batch, byte & 0x0F, true);
}

void Hd44780I2cProtocol::Initialise(LinkBatch& batch) const
{
    // Whatever mode the controller is in, even half-way through a 4-bit byte, three "8-bit"
    // function sets bring it to 8-bit mode; the fourth switches to 4 bits.
    const bool slow = pacing_.timing == Hd44780Timing::Slow;
    Configure(batch);
    Put(batch, Lines(0, false));
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

void Hd44780I2cProtocol::WriteCodes(LinkBatch& batch, std::string_view codes) const
{
    for (char c : codes)
        Data(batch, static_cast<std::uint8_t>(c));
}

void Hd44780I2cProtocol::Define(LinkBatch& batch, int code, const Glyph& glyph) const
{
    Command(batch, static_cast<std::uint8_t>(kSetCgramAddress | ((code & 7) << 3)));
    for (std::uint8_t row : glyph)
        Data(batch, row & 0x1F);
}

} // namespace pixtera::lcd
