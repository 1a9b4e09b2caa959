// SPDX-License-Identifier: MIT
#pragma once
// LCD2USB (USB 0403:c630): an HD44780 (or two, on a 40x4 module) behind vendor control requests.
// A request's top three bits say what it is: 0x00 echo (the value comes back), 0x20 command and
// 0x40 data bytes (bits 3-4 pick the controllers, bits 0-2 the count less one, up to four bytes
// in the value and index), 0x60 set (contrast 0x60, brightness 0x68, the value), 0x80 get
// (version 0x80, keys 0x88, the controllers fitted 0x90; two bytes back).
//
// The writer's messages are a first byte saying what (command or data, and to which controller,
// or a setting) and the bytes that go with it; the transfer makes requests of them.

#include "device_link.h"
#include "lcd_protocol.h"
#include "serial_keypad.h"
#include "usb_control.h"

#include <pixtera/sdk/character_rom.h>
#include <pixtera/sdk/display_input.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::lcd {

inline constexpr std::uint16_t kLcd2UsbVendor = 0x0403;
inline constexpr std::uint16_t kLcd2UsbProduct = 0xc630;

namespace lcd2usb {
inline constexpr std::uint8_t kEcho = 0x00;
inline constexpr std::uint8_t kCommand = 0x20;
inline constexpr std::uint8_t kData = 0x40;
inline constexpr std::uint8_t kSet = 0x60;
inline constexpr std::uint8_t kGet = 0x80;
inline constexpr std::uint8_t kFirst = 0x08; // controller 0
inline constexpr std::uint8_t kSecond = 0x10; // controller 1
inline constexpr std::uint8_t kBoth = kFirst | kSecond;
inline constexpr std::uint8_t kContrast = kSet | 0x00;
inline constexpr std::uint8_t kBrightness = kSet | 0x08;
inline constexpr std::uint8_t kVersion = kGet | 0x00;
inline constexpr std::uint8_t kKeys = kGet | 0x08;
inline constexpr std::uint8_t kControllers = kGet | 0x10;
inline constexpr std::size_t kBytesPerRequest = 4;
} // namespace lcd2usb

struct Lcd2UsbOptions {
    Geometry geometry{20, 4};
    bool backlight = true;
    int brightness = 255;
    std::optional<int> contrast; // 0-255, only sent when set
    CharacterRom rom = CharacterRom::A00;
};

// A 40x4 module (more than 80 cells) has two controllers: rows 0-1 on the first, 2-3 on the second.
bool HasTwoControllers(const Geometry& geometry);

class Lcd2UsbProtocol final : public LcdProtocol {
public:
    explicit Lcd2UsbProtocol(Lcd2UsbOptions options) : options_(options) {}

    void Initialise(LinkBatch& batch) const override;
    void MoveTo(LinkBatch& batch, int column, int row) const override;
    void WriteCodes(LinkBatch& batch, std::string_view codes) const override;
    CharacterRom rom() const override { return options_.rom; }
    void Define(LinkBatch& batch, int code, const Glyph& glyph) const override;
    // A jump is a command request of its own.
    int jumpCost() const override { return 4; }
    // Each run is placed, on the controller of its row: MoveTo starts the data Write adds to.
    int CursorAfter(int) const override { return -1; }
    void Backlight(LinkBatch& batch, bool on) override;
    bool Brightness(LinkBatch& batch, int level) override;

private:
    std::uint8_t ControllerOf(int row) const;
    void SendBrightness(LinkBatch& batch) const;

    Lcd2UsbOptions options_;
};

// The writer's messages as requests, four bytes at a time.
class Lcd2UsbTransfer final : public MessageTransfer {
public:
    explicit Lcd2UsbTransfer(std::shared_ptr<UsbControl> control) : control_(std::move(control)) {}
    int Send(std::string_view message) override;

private:
    std::shared_ptr<UsbControl> control_;
};

// The echo request answered as asked, and the firmware version ("1.9"); nothing from a device
// that does not echo.
std::optional<std::string> ProbeLcd2Usb(UsbControl& control);

// The two keys' state (GET keys, bits 0 and 1) to presses and releases: key 1 is code 0x01, key
// 2 code 0x02 in the map.
class Lcd2UsbKeys {
public:
    explicit Lcd2UsbKeys(KeypadMap map) : map_(map) {}
    std::vector<KeyEventOf> Decode(std::uint8_t state);

private:
    LONG KeyOf(std::uint8_t code) const { return map_[code] ? map_[code] : kKeyRaw | code; }

    KeypadMap map_;
    std::uint8_t held_ = 0;
};

inline constexpr const char* kLcd2UsbKeyMap = "0x01:Enter,0x02:Escape";

// Asks the keys' state; nothing when the device did not answer.
std::optional<std::uint8_t> ReadLcd2UsbKeys(UsbControl& control);

} // namespace pixtera::lcd
