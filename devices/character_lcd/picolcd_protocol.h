// SPDX-License-Identifier: MIT
#pragma once
// The picoLCD 20x2 (USB 04d8:c002) as HID reports, the report ID first: text 0x98 row column
// length characters, a user character 0x9C code and its eight rows, the backlight 0x91 level (0
// off), the contrast 0x92 level, the LEDs 0x81 mask; asked 0xF1 it answers its version in an
// input report 0xF1, and its keys come as input reports 0x11 with the codes of up to two keys
// held (0 for none).

#include "lcd_protocol.h"
#include "serial_keypad.h"

#include <pixtera/sdk/character_rom.h>
#include <pixtera/sdk/display_input.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pixtera::lcd {

inline constexpr std::uint16_t kPicoLcdVendor = 0x04d8;
inline constexpr std::uint16_t kPicoLcdProduct = 0xc002;
inline constexpr Geometry kPicoLcdGeometry{20, 2};
inline constexpr int kPicoLcdLeds = 8;

namespace picolcd {
inline constexpr std::uint8_t kLeds = 0x81;
inline constexpr std::uint8_t kBacklight = 0x91;
inline constexpr std::uint8_t kContrast = 0x92;
inline constexpr std::uint8_t kText = 0x98;
inline constexpr std::uint8_t kGlyph = 0x9C;
inline constexpr std::uint8_t kVersion = 0xF1;
inline constexpr std::uint8_t kKeys = 0x11;
// The largest report either way; what is longer is cut here.
inline constexpr std::size_t kReportSize = 64;
} // namespace picolcd

struct PicoLcdOptions {
    bool backlight = true;
    int brightness = 255; // the backlight's level when lit
    std::optional<int> contrast; // 0-255, only sent when set
    std::optional<int> leds; // the LED mask, only sent when set
    CharacterRom rom = CharacterRom::A00;
};

class PicoLcdProtocol final : public LcdProtocol {
public:
    explicit PicoLcdProtocol(PicoLcdOptions options) : options_(options), ledMask_(options.leds.value_or(0)) {}

    // The LEDs, the contrast and the backlight as configured, then blank rows.
    void Initialise(LinkBatch& batch) const override;
    // A text report starts at its place: the position and then, from Write, the length and the
    // characters of one run.
    void MoveTo(LinkBatch& batch, int column, int row) const override;
    void WriteCodes(LinkBatch& batch, std::string_view codes) const override;
    CharacterRom rom() const override { return options_.rom; }
    void Define(LinkBatch& batch, int code, const Glyph& glyph) const override;
    // A new report costs its ID, row, column and length.
    int jumpCost() const override { return 4; }
    // Every run is a report of its own, placed: no run goes on where the last one ended.
    int CursorAfter(int) const override { return -1; }
    void Backlight(LinkBatch& batch, bool on) override;
    bool Brightness(LinkBatch& batch, int level) override;
    // Its eight LEDs, a bit of the mask each, on or off: the whole mask goes.
    bool Led(LinkBatch& batch, int index, long state) override;

private:
    void SendBacklight(LinkBatch& batch) const;

    PicoLcdOptions options_;
    int ledMask_; // the writer thread's alone: the LEDs as last sent (an unknown one as off)
};

// The default keys: Back, Home, Up, OK and Down as the 20x2's keypad numbers them.
inline constexpr const char* kPicoLcdKeyMap = "0x01:Escape,0x02:F1,0x05:Up,0x06:Enter,0x07:Down";

// Key reports to presses and releases: a code held now and not before is pressed, one held
// before and not now released. Anything but a key report, and any byte past the two codes, is
// ignored.
class PicoLcdKeys {
public:
    explicit PicoLcdKeys(KeypadMap map) : map_(map) {}
    std::vector<KeyEventOf> Decode(std::span<const std::uint8_t> report);

private:
    LONG KeyOf(std::uint8_t code) const { return map_[code] ? map_[code] : kKeyRaw | code; }

    KeypadMap map_;
    std::array<std::uint8_t, 2> held_{};
};

} // namespace pixtera::lcd
