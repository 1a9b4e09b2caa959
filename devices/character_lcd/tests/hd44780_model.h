// SPDX-License-Identifier: MIT
#pragma once
// An HD44780 controller behind a PCF8574 expander, for the tests: it decodes the expander bytes
// (a nibble is latched when the enable line falls) into instructions and data, and keeps DDRAM,
// CGRAM, the address counter, the entry mode and the backlight line as the controller would. With
// RW wired it answers reads: while E is high with RW high, D4-D7 carry the busy flag (never set)
// and the address counter, high nibble first; without, RW is ignored as on such backpacks.
// Timed, it keeps the time the bus takes and counts the nibbles latched while the controller is
// still busy with the last instruction.

#include "hd44780_i2c_protocol.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixtera::lcd::test {

class Hd44780Model {
public:
    explicit Hd44780Model(Pcf8574Pins pins, bool rwWired = true) : pins_(pins), rwWired_(rwWired)
    {
        ddram_.fill('?'); // power-on garbage
    }

    void Feed(std::string_view bytes);
    // What the expander's port reads now: the lines last written, with D4-D7 pulled low where
    // the controller drives them so.
    std::uint8_t Read();

    // Bus time: a byte is nine clocks at `busHz`, a message's start and address ten more; an
    // instruction or character keeps the controller busy for `instruction`, a clear for `clear`.
    void SetTiming(int busHz, std::chrono::microseconds instruction, std::chrono::microseconds clear);
    void StartMessage();
    void Wait(std::chrono::microseconds pause);
    // Nibbles latched while busy, and the least time any latch came after the controller was
    // done (nothing before the first such latch).
    int tooEarly() const { return tooEarly_; }

    // The controller misses the nibble latched after `latches` more (a glitch on the bus): its
    // 4-bit pairing slips by half a byte.
    void DropNibbleAfter(int latches) { dropAfter_ = latches; }
    std::optional<std::chrono::nanoseconds> leastSlack() const { return leastSlack_; }

    // What the glass shows: rows 2 and 3 of a four-row module continue the two DDRAM lines.
    std::string Visible(int columns, int rows) const;
    Glyph GlyphOf(int code) const;
    bool backlight() const { return backlight_; }
    bool fourBit() const { return !eightBit_; }
    bool displayOn() const { return displayOn_; }
    int address() const { return address_; }
    bool increments() const { return increment_; }

private:
    void Latch(std::uint8_t lines);
    void Instruction(std::uint8_t byte);
    void Data(std::uint8_t byte);
    void Advance();
    void Clocks(int clocks);
    void Busy(std::chrono::microseconds duration);

    Pcf8574Pins pins_;
    bool rwWired_ = true;
    bool readingLowNibble_ = false; // the next read pulse gives the address counter's low nibble
    std::uint8_t previous_ = 0;
    bool eightBit_ = true;
    bool haveHighNibble_ = false;
    std::uint8_t highNibble_ = 0;
    bool highNibbleRs_ = false;

    std::array<std::uint8_t, 128> ddram_{};
    std::array<std::uint8_t, 64> cgram_{};
    int address_ = 0;
    bool inCgram_ = false;
    bool increment_ = true;
    bool twoLines_ = false;
    bool displayOn_ = false;
    bool backlight_ = false;

    int dropAfter_ = -1; // none
    int busHz_ = 0; // untimed
    std::chrono::microseconds instruction_{0};
    std::chrono::microseconds clear_{0};
    std::chrono::nanoseconds now_{0};
    std::chrono::nanoseconds busyUntil_{0};
    int tooEarly_ = 0;
    std::optional<std::chrono::nanoseconds> leastSlack_;
};

} // namespace pixtera::lcd::test
