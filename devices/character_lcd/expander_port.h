// SPDX-License-Identifier: MIT
#pragma once
// An I2C port expander's pins, a byte at a time: what reading an HD44780 back goes through.

#include "device_link.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace pixtera::lcd {

class ExpanderPort {
public:
    virtual ~ExpanderPort() = default;
    virtual bool Write(std::uint8_t lines) = 0;
    virtual std::optional<std::uint8_t> Read() = 0;
};

// The expander of an opened I2C device (/dev/i2c-N with its address selected).
class LinkExpanderPort final : public ExpanderPort {
public:
    explicit LinkExpanderPort(DeviceLink& link) : link_(link) {}
    bool Write(std::uint8_t lines) override
    {
        return link_.WriteMessage(std::string_view(reinterpret_cast<const char*>(&lines), 1));
    }
    std::optional<std::uint8_t> Read() override { return link_.ReadByte(); }

private:
    DeviceLink& link_;
};

} // namespace pixtera::lcd
