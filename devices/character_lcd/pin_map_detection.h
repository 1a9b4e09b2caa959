// SPDX-License-Identifier: MIT
#pragma once
// Which of the two common PCF8574 pin maps an HD44780 backpack is wired with, found by reading the
// controller back: with RW high and E pulsed, the controller puts its busy flag and address
// counter on D4-D7. A known DDRAM address is set through each candidate map and read back through
// it; the map whose read-back matches is the one. A backpack whose RW line is not wired reads back
// only what was written, for both maps: then the map cannot be told.

#include "device_link.h"
#include "hd44780_i2c_protocol.h"

#include <cstdint>
#include <optional>

namespace pixtera::lcd {

// One byte at a time to and from the expander's port.
class ExpanderPort {
public:
    virtual ~ExpanderPort() = default;
    virtual bool Write(std::uint8_t lines) = 0;
    virtual std::optional<std::uint8_t> Read() = 0;
};

enum class PinMapFound { A, B, Unknown };

// Leaves the controller in 4-bit mode with the map found (or the last tried); the caller
// initialises it as usual afterwards.
PinMapFound DetectPinMap(ExpanderPort& port, const Sleeper& sleep);

const char* PinMapName(PinMapFound found);

// The expander of an opened I2C device (/dev/i2c-N with its address selected).
class LinkExpanderPort final : public ExpanderPort {
public:
    explicit LinkExpanderPort(DeviceLink& link) : link_(link) {}
    bool Write(std::uint8_t lines) override;
    std::optional<std::uint8_t> Read() override;

private:
    DeviceLink& link_;
};

} // namespace pixtera::lcd
