// SPDX-License-Identifier: MIT
#include "hd44780_model.h"

namespace pixtera::lcd::test {

void Hd44780Model::SetTiming(int busHz, std::chrono::microseconds instruction, std::chrono::microseconds clear)
{
    busHz_ = busHz;
    instruction_ = instruction;
    clear_ = clear;
}

void Hd44780Model::Clocks(int clocks)
{
    if (busHz_ > 0)
        now_ += std::chrono::nanoseconds(static_cast<long long>(clocks) * 1000000000LL / busHz_);
}

void Hd44780Model::StartMessage() { Clocks(1 + 9); }

void Hd44780Model::Wait(std::chrono::microseconds pause) { now_ += pause; }

void Hd44780Model::Busy(std::chrono::microseconds duration)
{
    if (busHz_ > 0)
        busyUntil_ = now_ + duration;
}

void Hd44780Model::Feed(std::string_view bytes)
{
    for (char c : bytes) {
        Clocks(9); // the expander's outputs change at the byte's acknowledge
        const auto lines = static_cast<std::uint8_t>(c);
        backlight_ = (lines & pins_.backlight) != 0;
        if ((previous_ & pins_.enable) && !(lines & pins_.enable))
            Latch(previous_);
        previous_ = lines;
    }
}

std::uint8_t Hd44780Model::Read()
{
    Clocks(9);
    const bool reading = rwWired_ && (previous_ & pins_.rw) && (previous_ & pins_.enable) && !(previous_ & pins_.rs);
    if (!reading)
        return previous_;
    const bool busy = busHz_ > 0 && now_ < busyUntil_;
    const auto status = static_cast<std::uint8_t>((busy ? 0x80 : 0) | (address_ & 0x7F));
    const std::uint8_t nibble = readingLowNibble_ ? status & 0x0F : status >> 4;
    std::uint8_t lines = previous_;
    for (int bit = 0; bit < 4; ++bit)
        if (!(nibble & (1 << bit)))
            lines = static_cast<std::uint8_t>(lines & ~pins_.data[bit]); // driven low over the weak high
    return lines;
}

void Hd44780Model::Latch(std::uint8_t lines)
{
    if (rwWired_ && (lines & pins_.rw)) {
        readingLowNibble_ = !readingLowNibble_; // a read pulse ended: the other nibble is next
        return;
    }
    if (dropAfter_ >= 0 && dropAfter_-- == 0)
        return;
    if (busHz_ > 0) {
        if (now_ < busyUntil_)
            ++tooEarly_;
        else if (!leastSlack_ || now_ - busyUntil_ < *leastSlack_)
            leastSlack_ = now_ - busyUntil_;
    }
    std::uint8_t nibble = 0;
    for (int bit = 0; bit < 4; ++bit)
        if (lines & pins_.data[bit])
            nibble |= static_cast<std::uint8_t>(1 << bit);
    const bool rs = (lines & pins_.rs) != 0;
    if (eightBit_) {
        // D0-D3 are not wired: they read as 0.
        rs ? Data(static_cast<std::uint8_t>(nibble << 4)) : Instruction(static_cast<std::uint8_t>(nibble << 4));
        return;
    }
    if (!haveHighNibble_) {
        highNibble_ = nibble;
        highNibbleRs_ = rs;
        haveHighNibble_ = true;
        return;
    }
    haveHighNibble_ = false;
    const auto byte = static_cast<std::uint8_t>(highNibble_ << 4 | nibble);
    highNibbleRs_ ? Data(byte) : Instruction(byte);
}

void Hd44780Model::Instruction(std::uint8_t byte)
{
    Busy(byte == 0x01 || (byte & 0xFE) == 0x02 ? clear_ : instruction_);
    if (byte & 0x80) {
        address_ = byte & 0x7F;
        inCgram_ = false;
    } else if (byte & 0x40) {
        address_ = byte & 0x3F;
        inCgram_ = true;
    } else if (byte & 0x20) {
        eightBit_ = (byte & 0x10) != 0;
        twoLines_ = (byte & 0x08) != 0;
        haveHighNibble_ = false;
    } else if (byte & 0x10) {
        // cursor or display shift: not used by the driver
    } else if (byte & 0x08) {
        displayOn_ = (byte & 0x04) != 0;
    } else if (byte & 0x04) {
        increment_ = (byte & 0x02) != 0;
    } else if (byte & 0x02) {
        address_ = 0;
        inCgram_ = false;
    } else if (byte & 0x01) {
        ddram_.fill(' ');
        address_ = 0;
        inCgram_ = false;
        increment_ = true;
    }
}

void Hd44780Model::Data(std::uint8_t byte)
{
    Busy(instruction_);
    if (inCgram_)
        cgram_[static_cast<std::size_t>(address_ & 0x3F)] = byte & 0x1F;
    else
        ddram_[static_cast<std::size_t>(address_ & 0x7F)] = byte;
    Advance();
}

void Hd44780Model::Advance()
{
    if (inCgram_) {
        address_ = (address_ + (increment_ ? 1 : -1)) & 0x3F;
        return;
    }
    // Two-line mode: 0x00-0x27 and 0x40-0x67, each running on into the other.
    int next = address_ + (increment_ ? 1 : -1);
    if (twoLines_) {
        if (next == 0x28)
            next = 0x40;
        else if (next == 0x68)
            next = 0x00;
        else if (next == 0x3F)
            next = 0x27;
        else if (next == -1)
            next = 0x67;
    }
    address_ = next & 0x7F;
}

std::string Hd44780Model::Visible(int columns, int rows) const
{
    std::string cells;
    for (int row = 0; row < rows; ++row) {
        const int line = row % 2;
        for (int column = 0; column < columns; ++column)
            cells.push_back(
                static_cast<char>(ddram_[static_cast<std::size_t>(line * 0x40 + (row / 2) * columns + column)]));
    }
    return cells;
}

Glyph Hd44780Model::GlyphOf(int code) const
{
    Glyph glyph{};
    for (std::size_t i = 0; i < glyph.size(); ++i)
        glyph[i] = cgram_[static_cast<std::size_t>(code & 7) * 8 + i];
    return glyph;
}

} // namespace pixtera::lcd::test
