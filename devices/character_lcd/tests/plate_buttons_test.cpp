// SPDX-License-Identifier: MIT
// The RGB LCD plate's buttons against the MCP23017 model: read on the writer's link while polling
// is on, debounced, and handed on as keys.

#include "backpack_connection.h"
#include "lcd_writer.h"
#include "mcp_i2c_bus.h"
#include "plate_buttons.h"

#include "test_environment.h"

#include <pixtera/sdk/display_input.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

constexpr std::uint8_t kSelect = 0x01, kDown = 0x04, kUp = 0x08;

TEST(PlateButtons, AStateCountsOnceTwoReadsRunningAgree)
{
    PlateButtons buttons;
    EXPECT_TRUE(buttons.Sample(kSelect).empty());
    EXPECT_EQ(buttons.Sample(kSelect), (std::vector<ButtonEvent>{{kKeyEnter, kKeyPressed}}));
    EXPECT_TRUE(buttons.Sample(kSelect).empty()) << "a held button is one press";
    EXPECT_TRUE(buttons.Sample(0).empty());
    EXPECT_EQ(buttons.Sample(0), (std::vector<ButtonEvent>{{kKeyEnter, kKeyReleased}}));

    // A bounce: down for one read only.
    EXPECT_TRUE(buttons.Sample(kUp).empty());
    EXPECT_TRUE(buttons.Sample(0).empty());
    EXPECT_TRUE(buttons.Sample(0).empty());

    // Every line its key; presses before releases.
    buttons.Sample(0x1E);
    EXPECT_EQ(buttons.Sample(0x1E),
              (std::vector<ButtonEvent>{
                  {kKeyRight, kKeyPressed}, {kKeyDown, kKeyPressed}, {kKeyUp, kKeyPressed}, {kKeyLeft, kKeyPressed}}));
    buttons.Sample(kSelect);
    EXPECT_EQ(buttons.Sample(kSelect), (std::vector<ButtonEvent>{{kKeyEnter, kKeyPressed},
                                                                 {kKeyRight, kKeyReleased},
                                                                 {kKeyDown, kKeyReleased},
                                                                 {kKeyUp, kKeyReleased},
                                                                 {kKeyLeft, kKeyReleased}}));
}

// A plate on the model with its writer polling the buttons every millisecond; before each read
// the buttons are set as `script` says for that read (by its number), when it names it.
struct Plate {
    explicit Plate(bool polling) : chip(Backpack::Plate()), bus(chip)
    {
        std::vector<std::string> problems;
        settings = ReadI2cSettings(ConfigurationText("pinmap=plate"), problems);
        EXPECT_TRUE(problems.empty());
        protocol = std::make_shared<Hd44780I2cProtocol>(Geometry{16, 2}, Backpack::Plate(), true);
        WriterSetup setup;
        setup.name = "Test display";
        setup.device = "the model";
        setup.open = [this](std::string& error) -> std::optional<DeviceLink> {
            DeviceLink link = bus.Open();
            if (!PrepareBackpack(link, settings, *protocol, "the model", kNoSleep, error))
                return std::nullopt;
            return link;
        };
        setup.protocol = protocol;
        setup.geometry = {16, 2};
        setup.sleep = kNoSleep;
        auto deliver = PlateButtonPoll(protocol, [this](LONG key, LONG action) {
            std::lock_guard lock(mutex);
            keys.push_back({key, action});
        });
        setup.poll = [this, deliver](DeviceLink& link) {
            const int read = ++reads;
            if (const auto it = script.find(read); it != script.end())
                bus.WithChip([&](Mcp230xxModel& m) { m.Press(it->second); });
            deliver(link);
        };
        setup.pollEvery = 1ms;
        setup.polling = polling;
        writer = std::make_unique<LcdWriter>(std::move(setup));
        EXPECT_TRUE(writer->WaitUntilSent(5s));
    }
    ~Plate() { writer.reset(); }

    std::vector<ButtonEvent> Keys()
    {
        std::lock_guard lock(mutex);
        return keys;
    }
    void Press(std::uint8_t lines)
    {
        bus.WithChip([&](Mcp230xxModel& m) { m.Press(lines); });
    }
    // Reads of port A among the messages since the last call.
    int PortAReads()
    {
        int count = 0;
        for (const auto& message : bus.Take())
            count += message == std::string("w\x12", 2);
        return count;
    }

    static inline const Sleeper kNoSleep = [](std::chrono::microseconds) {};

    Mcp230xxModel chip;
    McpI2cBus bus;
    I2cSettings settings;
    std::shared_ptr<Hd44780I2cProtocol> protocol;
    std::map<int, std::uint8_t> script; // set before polling starts
    std::atomic<int> reads{0};
    std::mutex mutex; // guards keys
    std::vector<ButtonEvent> keys;
    std::unique_ptr<LcdWriter> writer;
};

TEST(PlateButtons, APressedButtonReachesTheSinkOnceABounceNever)
{
    Plate plate(false);
    plate.script = {{3, kDown}, {4, 0}, {10, kSelect}, {30, 0}};
    plate.writer->SetPolling(true);
    ASSERT_TRUE(pixtera::test::Eventually([&] { return plate.reads >= 40; }));
    EXPECT_EQ(plate.Keys(), (std::vector<ButtonEvent>{{kKeyEnter, kKeyPressed}, {kKeyEnter, kKeyReleased}}))
        << "Down was down for one read only";
    EXPECT_GE(plate.PortAReads(), 40) << "the buttons are read on the writer's link";
}

TEST(PlateButtons, NothingIsReadWhileTheDisplayIsStopped)
{
    Plate plate(false);
    plate.writer->Show("not polling");
    ASSERT_TRUE(plate.writer->WaitUntilSent(5s));
    plate.PortAReads();
    plate.Press(kSelect);
    for (const char* frame : {"still", "not", "polling"}) {
        plate.writer->Show(frame);
        ASSERT_TRUE(plate.writer->WaitUntilSent(5s));
    }
    std::this_thread::sleep_for(50ms); // fifty of its polls, were it polling
    EXPECT_EQ(plate.reads, 0);
    EXPECT_EQ(plate.PortAReads(), 0);
    EXPECT_TRUE(plate.Keys().empty());

    plate.writer->SetPolling(true);
    ASSERT_TRUE(pixtera::test::Eventually([&] { return !plate.Keys().empty(); }));
    EXPECT_EQ(plate.Keys(), (std::vector<ButtonEvent>{{kKeyEnter, kKeyPressed}}));

    plate.writer->SetPolling(false);
    const int stoppedAt = plate.reads;
    plate.PortAReads();
    plate.Press(0);
    plate.writer->Show("stopped again");
    ASSERT_TRUE(plate.writer->WaitUntilSent(5s));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(plate.reads, stoppedAt);
    EXPECT_EQ(plate.PortAReads(), 0);
    EXPECT_EQ(plate.Keys().size(), 1u) << "the release is not seen while stopped";
}

} // namespace
