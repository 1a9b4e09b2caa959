// SPDX-License-Identifier: MIT
#pragma once
// What differs between the CrystalFontz packet modules, and the commands and reports of theirs the
// driver uses. The CFA533 and CFA633 are 16 x 2 with six keys, the CFA631 20 x 2 with four beside
// the screen, the CFA635 20 x 4 with six keys and four red/green LEDs.

#include "lcd_protocol.h"

#include <pixtera/platform/com.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace pixtera::lcd {

enum class CrystalfontzModel { Cfa533, Cfa631, Cfa633, Cfa635 };

namespace cfa {

// Commands (the low six bits of a packet's type).
inline constexpr std::uint8_t kPing = 0;
inline constexpr std::uint8_t kClear = 6;
inline constexpr std::uint8_t kFanReporting = 16;
inline constexpr std::uint8_t kDefineCharacter = 9;
inline constexpr std::uint8_t kCursorStyle = 12;
inline constexpr std::uint8_t kContrast = 13;
inline constexpr std::uint8_t kBacklight = 14;
inline constexpr std::uint8_t kTemperatureReporting = 19;
inline constexpr std::uint8_t kKeyReporting = 23;
inline constexpr std::uint8_t kWatchdog = 29;
inline constexpr std::uint8_t kSendData = 31;
inline constexpr std::uint8_t kSetGpio = 34;

// Reports.
inline constexpr std::uint8_t kKeyReport = 0;
inline constexpr std::uint8_t kFanReport = 1;
inline constexpr std::uint8_t kTemperatureReport = 2;

// The CFA635's LEDs, top (0) to bottom (3), are each a green and a red die on a GPIO of their own.
inline constexpr int kLeds = 4;
inline constexpr std::uint8_t GreenGpio(int led) { return static_cast<std::uint8_t>(11 - 2 * led); }
inline constexpr std::uint8_t RedGpio(int led) { return static_cast<std::uint8_t>(12 - 2 * led); }

} // namespace cfa

struct CrystalfontzTraits {
    std::string_view name; // "CFA635"
    Geometry geometry;
    int speed; // the baud rate the module ships with
    int contrastLimit; // the highest contrast the module takes
    std::uint8_t keyMask; // every key, as key reporting takes it
    bool leds;
};

const CrystalfontzTraits& TraitsOf(CrystalfontzModel model);
// "533", "631", "633" or "635" (a CFA prefix allowed).
std::optional<CrystalfontzModel> ParseCrystalfontzModel(std::string_view text);

struct CrystalfontzKey {
    LONG key = 0; // a KeyCode
    LONG action = 0;
    bool operator==(const CrystalfontzKey&) const = default;
};

// A key report's byte as a key of the system: the six-key modules' Up, Down, Left, Right, Enter
// (the tick) and Escape (the cross); the CFA631's upper left Up, upper right Enter, lower left
// Down and lower right Escape. Any other byte is Raw:0xNN, pressed.
CrystalfontzKey KeyOfReport(std::uint8_t code);

} // namespace pixtera::lcd
