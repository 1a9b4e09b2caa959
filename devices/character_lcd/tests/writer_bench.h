// SPDX-License-Identifier: MIT
#pragma once
// An LcdWriter on fake devices, for the tests.

#include "fake_device.h"
#include "lcd_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace pixtera::lcd::test {

using namespace std::chrono_literals;

// A writer on fake devices: the first is plugged in (unless `plugged` is false), later ones when
// the test says so.
class Bench {
public:
    Bench(std::shared_ptr<LcdProtocol> protocol, Geometry geometry, std::string* pauses = nullptr,
          CharacterRom rom = CharacterRom::A00, bool plugged = true)
    {
        plugged_ = plugged;
        WriterSetup setup;
        setup.rom = rom;
        setup.name = "Test display";
        setup.device = "the fake";
        setup.open = [this](std::string& error) -> std::optional<DeviceLink> {
            std::lock_guard lock(mutex_);
            ++opens_;
            if (!plugged_) {
                error = "No such device";
                return std::nullopt;
            }
            return device_->Open();
        };
        setup.protocol = std::move(protocol);
        setup.geometry = geometry;
        setup.sleep = [pauses](std::chrono::microseconds pause) {
            if (pauses)
                *pauses += std::to_string(pause.count()) + " ";
        };
        setup.retry = 5ms;
        writer = std::make_unique<LcdWriter>(std::move(setup));
    }

    // Hands everything over and returns the bytes it caused.
    std::string Sent()
    {
        EXPECT_TRUE(writer->WaitUntilSent(5s));
        std::lock_guard lock(mutex_);
        return device_->Drain();
    }

    void Unplug()
    {
        std::lock_guard lock(mutex_);
        device_->Unplug();
        plugged_ = false;
    }
    // A new module (another device file) comes back.
    void PlugIn()
    {
        std::lock_guard lock(mutex_);
        device_ = std::make_unique<FakeDevice>();
        plugged_ = true;
    }
    int opens()
    {
        std::lock_guard lock(mutex_);
        return opens_;
    }

    std::unique_ptr<LcdWriter> writer; // declared after nothing the writer thread uses... see below

private:
    std::mutex mutex_; // guards device_, plugged_ and opens_
    std::unique_ptr<FakeDevice> device_ = std::make_unique<FakeDevice>();
    bool plugged_ = true;
    int opens_ = 0;

public:
    ~Bench() { writer.reset(); } // the thread ends before what its opener uses
};

} // namespace pixtera::lcd::test
