// SPDX-License-Identifier: MIT
#pragma once
// An LCD2USB as its control requests see it, with one HD44780 (or two, for a 40x4 module) behind
// it: the echo, version, keys and controllers answered, contrast and brightness kept, commands
// and data applied to the controllers they name. Anything the interface would not take is a fault,
// described; it can be unplugged after a number of requests.

#include "lcd2usb_module.h"
#include "lcd_protocol.h"

#include <array>
#include <mutex>
#include <optional>
#include <string>

namespace pixtera::lcd::test {

class Lcd2UsbModel {
public:
    explicit Lcd2UsbModel(Geometry geometry) : geometry_(geometry) {}

    // What libusb gives to a program that opens it; nothing while unplugged.
    std::optional<Lcd2UsbConnection> Connect();

    // The cells shown, row after row.
    std::string Visible() const;
    Glyph GlyphOf(int controller, int code) const;
    bool displayOn(int controller) const;
    std::optional<int> contrast() const;
    std::optional<int> brightness() const;
    std::size_t controllerBytes() const; // commands and data that reached the controllers
    int requests() const;
    int echoes() const;
    std::string faults() const;

    void SetKeys(std::uint8_t state); // as the GET keys request answers it
    void BreakEcho(); // answers the echo wrongly, as a device that is no LCD2USB would
    void UnplugAfter(int requests); // -1: plugged in for good
    // Plugged in again, having lost its power: the controllers as at power-up.
    void PlugIn();

private:
    struct Controller {
        std::array<char, 128> ddram{};
        std::array<std::uint8_t, 64> cgram{};
        int address = 0;
        bool cgramMode = false;
        bool on = false;
        Controller() { ddram.fill('#'); } // power-up garbage until cleared
        void Command(std::uint8_t byte, std::string& faults);
        void Data(std::uint8_t byte);
    };
    class End;
    int Request(std::uint8_t request, std::uint16_t value, std::uint16_t index, std::span<std::uint8_t> answer,
                std::size_t& got);
    bool twoControllers() const;

    const Geometry geometry_;
    mutable std::mutex mutex_; // guards everything below
    std::array<Controller, 2> controllers_{};
    std::optional<int> contrast_;
    std::optional<int> brightness_;
    std::size_t bytes_ = 0;
    int requests_ = 0;
    int echoes_ = 0;
    std::string faults_;
    std::uint8_t keys_ = 0;
    bool brokenEcho_ = false;
    int requestsLeft_ = -1;
    bool unplugged_ = false;
    std::uint64_t generation_ = 0;
};

} // namespace pixtera::lcd::test
