// SPDX-License-Identifier: MIT
#pragma once
// A serial LCD module with the 0xFE command set, for the tests: it interprets the byte stream into
// its screen, user characters, cursor and settings, answers the read commands for its module type
// (0x37) and version (0x36), and notes any command it does not know. Its keypad sends what a
// key does as its auto-repeat mode says; with adafruit=true it is the Adafruit USB+Serial
// backpack, which takes its size and RGB backlight.

#include "lcd_protocol.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pixtera::lcd::test {

class SerialLcdModel {
public:
    SerialLcdModel(int columns, int rows, bool adafruit = false)
        : columns_(columns), rows_(rows), adafruit_(adafruit), screen_(static_cast<std::size_t>(columns * rows), '?')
    {
    }

    void Feed(std::string_view bytes);

    const std::string& screen() const { return screen_; }
    const Glyph& GlyphOf(int code) const { return glyphs_[static_cast<std::size_t>(code & 7)]; }
    bool backlight() const { return backlight_; }
    int contrast() const { return contrast_; }
    int brightness() const { return brightness_; }
    const std::vector<int>& unknownCommands() const { return unknown_; }
    // What the module sent back, taken once.
    std::string TakeReplies() { return std::exchange(replies_, {}); }

    enum class Repeat { Unset, Off, Typematic, UpDown };
    Repeat repeat() const { return repeat_; }
    // What the keypad sends for a key (its letter) pressed, held for `repeats` repeat periods,
    // and released.
    std::string KeyStroke(char key, int repeats = 0) const;

    // The Adafruit backpack's: 0 x 0 and black until set.
    std::pair<int, int> size() const { return size_; }
    std::array<int, 3> colour() const { return colour_; }

    static constexpr std::uint8_t kModuleType = 0x09;
    static constexpr std::uint8_t kVersion = 0x57;

private:
    void Command(std::uint8_t command, std::string_view arguments);
    std::size_t ArgumentCount(std::uint8_t command) const;

    int columns_;
    int rows_;
    bool adafruit_;
    Repeat repeat_ = Repeat::Unset;
    std::pair<int, int> size_{0, 0};
    std::array<int, 3> colour_{0, 0, 0};
    std::string screen_;
    std::array<Glyph, kUserCharacters> glyphs_{};
    int column_ = 0;
    int row_ = 0;
    bool backlight_ = false;
    int contrast_ = -1;
    int brightness_ = -1;
    std::vector<int> unknown_;
    std::string pending_; // a command still waiting for bytes
    std::string replies_;
};

} // namespace pixtera::lcd::test
