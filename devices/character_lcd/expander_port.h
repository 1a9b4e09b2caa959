// SPDX-License-Identifier: MIT
#pragma once
// An I2C port expander's pins, a byte at a time: what reading an HD44780 back goes through.

#include "backpack.h"
#include "device_link.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixtera::lcd {

class ExpanderPort {
public:
    virtual ~ExpanderPort() = default;
    virtual bool Write(std::uint8_t lines) = 0;
    virtual std::optional<std::uint8_t> Read() = 0;
    // Lets the controller drive D4-D7 (`release`), or takes them back. A PCF8574's lines are weak
    // highs the controller pulls down: nothing to do.
    virtual bool ReleaseData(bool) { return true; }
    // A batch the protocol made for this expander: a PCF8574 gets each byte on its own, an MCP
    // each message as made (it starts with the register).
    virtual bool Send(const LinkBatch& batch, const Sleeper& sleep)
    {
        for (const auto& segment : batch.segments()) {
            for (char byte : segment.bytes)
                if (!Write(static_cast<std::uint8_t>(byte)))
                    return false;
            if (segment.pause.count() > 0)
                sleep(segment.pause);
        }
        return true;
    }
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

// The LCD's port of an MCP23008 or MCP23017 on an opened I2C device: its latch written, its
// GPIO read, its direction switched for reading the controller.
class McpExpanderPort final : public ExpanderPort {
public:
    McpExpanderPort(DeviceLink& link, const Backpack& backpack) : link_(link), backpack_(backpack) {}
    bool Write(std::uint8_t lines) override { return Message(mcp::kOlat, lines); }
    std::optional<std::uint8_t> Read() override
    {
        const char reg = static_cast<char>(McpRegister(backpack_.chip, mcp::kGpio));
        if (!link_.WriteMessage(std::string_view(&reg, 1)))
            return std::nullopt;
        return link_.ReadByte();
    }
    bool ReleaseData(bool release) override
    {
        const auto unused = static_cast<std::uint8_t>(~backpack_.pins.used());
        return Message(mcp::kIodir, release ? static_cast<std::uint8_t>(unused | backpack_.pins.dataLines()) : unused);
    }
    bool Send(const LinkBatch& batch, const Sleeper& sleep) override
    {
        for (const auto& segment : batch.segments()) {
            if (!segment.bytes.empty() && !link_.WriteMessage(segment.bytes))
                return false;
            if (segment.pause.count() > 0)
                sleep(segment.pause);
        }
        return true;
    }

private:
    bool Message(int reg, std::uint8_t value)
    {
        const char bytes[2] = {static_cast<char>(McpRegister(backpack_.chip, reg)), static_cast<char>(value)};
        return link_.WriteMessage(std::string_view(bytes, 2));
    }

    DeviceLink& link_;
    Backpack backpack_;
};

} // namespace pixtera::lcd
