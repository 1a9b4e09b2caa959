// SPDX-License-Identifier: MIT
#pragma once
// An I2C bus with an HD44780 module at its far end, for the tests: links opened on it feed the
// model and read from it, and every transfer is kept as it went on the bus, message by message.
// The bus may refuse combined transfers, as adapters without them do.

#include "device_link.h"
#include "hd44780_model.h"

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

namespace pixtera::lcd::test {

class ModelI2cBus {
public:
    using Transfer = std::vector<std::string>;

    explicit ModelI2cBus(Hd44780Model& model) : model_(model) {}

    // A link to the module, as the driver's open would give.
    DeviceLink Open() { return DeviceLink(-1, std::make_unique<End>(*this)); }

    // The transfers since the last call.
    std::vector<Transfer> Take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(transfers_, {});
    }
    void RefuseCombined(bool refuse)
    {
        std::lock_guard lock(mutex_);
        refuseCombined_ = refuse;
    }
    int combinedTries() const
    {
        std::lock_guard lock(mutex_);
        return combinedTries_;
    }
    int reads() const
    {
        std::lock_guard lock(mutex_);
        return reads_;
    }
    // Runs `call` on the model with the bus held, so that the writer's thread waits.
    template <class Call>
    auto WithModel(Call call)
    {
        std::lock_guard lock(mutex_);
        return call(model_);
    }

private:
    class End final : public I2cTransfer {
    public:
        explicit End(ModelI2cBus& bus) : bus_(bus) {}
        int Combined(std::span<const std::string_view> messages) override
        {
            std::lock_guard lock(bus_.mutex_);
            ++bus_.combinedTries_;
            if (bus_.refuseCombined_)
                return EOPNOTSUPP;
            Transfer transfer;
            for (const auto message : messages) {
                bus_.model_.StartMessage();
                bus_.model_.Feed(message);
                transfer.emplace_back(message);
            }
            bus_.transfers_.push_back(std::move(transfer));
            return 0;
        }
        int Write(std::string_view message) override
        {
            std::lock_guard lock(bus_.mutex_);
            bus_.model_.StartMessage();
            bus_.model_.Feed(message);
            bus_.transfers_.push_back({std::string(message)});
            return 0;
        }
        int Read(std::uint8_t& byte) override
        {
            std::lock_guard lock(bus_.mutex_);
            ++bus_.reads_;
            bus_.model_.StartMessage();
            byte = bus_.model_.Read();
            return 0;
        }

    private:
        ModelI2cBus& bus_;
    };

    mutable std::mutex mutex_; // guards model_ and everything below
    Hd44780Model& model_;
    std::vector<Transfer> transfers_;
    bool refuseCombined_ = false;
    int combinedTries_ = 0;
    int reads_ = 0;
};

} // namespace pixtera::lcd::test
