// SPDX-License-Identifier: MIT
#pragma once
// A picoLCD 20x2 as its hidraw node shows it: output reports change its screen, user characters,
// backlight, contrast and LEDs (anything it would not take is a fault, described); it answers
// the version report and sends key reports when told. Each connection's descriptor is readable
// while an input report waits and hangs up when the module is unplugged, which can happen after
// a number of reports written.

#include "hid_module.h"
#include "lcd_protocol.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::lcd::test {

class PicoLcdModel {
public:
    PicoLcdModel();

    // What the node gives to a program that opens it; nothing while unplugged.
    std::optional<HidConnection> Connect();

    std::string screen() const; // 40 cells, row after row
    Glyph GlyphOf(int code) const;
    int backlight() const;
    std::optional<int> contrast() const;
    std::optional<int> leds() const;
    std::size_t bytesWritten() const; // in every output report so far
    int versionsAsked() const;
    int connections() const;
    std::string faults() const;

    // An input report from the module: a key report with the codes held, or anything at all.
    void HoldKeys(std::uint8_t first, std::uint8_t second = 0);
    void SendInput(std::vector<std::uint8_t> report);

    // Unplugged after `reports` more output reports; -1: plugged in for good.
    void UnplugAfter(int reports);
    bool unplugged() const;
    // Plugged in again, having lost its power: its own splash on the screen, no user characters.
    void PlugIn();

private:
    class End;
    void Output(std::span<const std::uint8_t> report);
    void Queue(std::vector<std::uint8_t> report);
    void Unplug();
    void Fault(const std::string& what);

    mutable std::mutex mutex_; // guards everything below
    std::string screen_;
    std::array<Glyph, kUserCharacters> glyphs_{};
    int backlight_ = 0;
    std::optional<int> contrast_;
    std::optional<int> leds_;
    std::size_t bytes_ = 0;
    int versions_ = 0;
    int connections_ = 0;
    std::string faults_;
    int reportsLeft_ = -1;
    bool unplugged_ = false;
    std::uint64_t generation_ = 0; // of the plug: an end of an earlier one is gone
    std::deque<std::vector<std::uint8_t>> input_;
    UniqueFd signal_; // the write end of the connection's pipe: a byte per input report
};

} // namespace pixtera::lcd::test
