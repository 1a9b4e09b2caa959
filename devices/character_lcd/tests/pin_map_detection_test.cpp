// SPDX-License-Identifier: MIT
// Finding a backpack's pin map by reading the controller back, against the HD44780 model wired
// either way, with RW wired or not.

#include "hd44780_model.h"
#include "pin_map_detection.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcd;
using pixtera::lcd::test::Hd44780Model;

class ModelPort final : public ExpanderPort {
public:
    explicit ModelPort(Hd44780Model& model) : model_(model) {}
    bool Write(std::uint8_t lines) override
    {
        model_.Feed(std::string(1, static_cast<char>(lines)));
        return true;
    }
    std::optional<std::uint8_t> Read() override
    {
        ++reads;
        return model_.Read();
    }
    int reads = 0;

private:
    Hd44780Model& model_;
};

const Sleeper kNoSleep = [](std::chrono::microseconds) {};

TEST(PinMapDetection, EachWiringIsFoundAndFoundAgain)
{
    for (const auto& [pins, expected] :
         {std::pair{Pcf8574Pins::A(), PinMapFound::A}, std::pair{Pcf8574Pins::B(), PinMapFound::B}}) {
        Hd44780Model module(pins);
        ModelPort port(module);
        EXPECT_EQ(DetectPinMap(port, kNoSleep), expected) << PinMapName(expected);
        EXPECT_EQ(DetectPinMap(port, kNoSleep), expected) << "a second run finds it again";

        // What was found drives the module as usual.
        const Hd44780I2cProtocol protocol({16, 2}, pins, true);
        LinkBatch batch;
        protocol.Initialise(batch);
        protocol.Write(batch, "found");
        for (const auto& segment : batch.segments())
            module.Feed(segment.bytes);
        EXPECT_EQ(module.Visible(16, 2).substr(0, 5), "found");
    }
}

TEST(PinMapDetection, ABackpackWithoutRwOrWithoutAnswersCannotBeTold)
{
    Hd44780Model unwired(Pcf8574Pins::A(), false);
    ModelPort port(unwired);
    EXPECT_EQ(DetectPinMap(port, kNoSleep), PinMapFound::Unknown) << "reads give back only what was written";
    EXPECT_GT(port.reads, 0);

    class Silent final : public ExpanderPort {
    public:
        bool Write(std::uint8_t) override { return true; }
        std::optional<std::uint8_t> Read() override { return std::nullopt; }
    } silent;
    EXPECT_EQ(DetectPinMap(silent, kNoSleep), PinMapFound::Unknown);
}

} // namespace
