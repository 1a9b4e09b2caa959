// SPDX-License-Identifier: MIT
#pragma once
// An I2C bus with an MCP230xx backpack at its far end, for the tests: links opened on it write
// and read the chip's registers message by message, each kept as it went on the bus ("w" and the
// bytes written, "r" and the byte read), in order.

#include "device_link.h"
#include "mcp230xx_model.h"

#include <mutex>
#include <string>
#include <vector>

namespace pixtera::lcd::test {

class McpI2cBus {
public:
    explicit McpI2cBus(Mcp230xxModel& chip) : chip_(chip) {}

    DeviceLink Open() { return DeviceLink(-1, std::make_unique<End>(*this)); }

    // Each message since the last call: 'w' or 'r' and its bytes.
    std::vector<std::string> Take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(messages_, {});
    }
    // Runs `call` on the chip with the bus held, so that the writer's thread waits.
    template <class Call>
    auto WithChip(Call call)
    {
        std::lock_guard lock(mutex_);
        return call(chip_);
    }

private:
    class End final : public I2cTransfer {
    public:
        explicit End(McpI2cBus& bus) : bus_(bus) {}
        int Combined(std::span<const std::string_view> messages) override
        {
            std::lock_guard lock(bus_.mutex_);
            for (const auto message : messages)
                WriteLocked(message);
            return 0;
        }
        int Write(std::string_view message) override
        {
            std::lock_guard lock(bus_.mutex_);
            WriteLocked(message);
            return 0;
        }
        int Read(std::uint8_t& byte) override { return ReadBlock(std::span(&byte, 1)); }
        int ReadBlock(std::span<std::uint8_t> bytes) override
        {
            std::lock_guard lock(bus_.mutex_);
            std::string seen = "r";
            for (auto& byte : bytes) {
                byte = bus_.chip_.Read();
                seen.push_back(static_cast<char>(byte));
            }
            bus_.messages_.push_back(std::move(seen));
            return 0;
        }

    private:
        void WriteLocked(std::string_view message)
        {
            bus_.chip_.Write(message);
            bus_.messages_.push_back("w" + std::string(message));
        }
        McpI2cBus& bus_;
    };

    std::mutex mutex_; // guards chip_ and messages_
    Mcp230xxModel& chip_;
    std::vector<std::string> messages_;
};

} // namespace pixtera::lcd::test
