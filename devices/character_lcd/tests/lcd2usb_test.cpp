// SPDX-License-Identifier: MIT
// An LCD2USB driven by the writer over a model of its control requests: what reaches the
// controllers, its keys, and the interface going away.

#include "lcd2usb_model.h"
#include "lcd2usb_module.h"
#include "lcd2usb_protocol.h"
#include "lcd_writer.h"

#include "captured_log.h"
#include "test_environment.h"

#include <pixtera/sdk/key_names.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace std::chrono_literals;
using pixtera::test::Eventually;
using Model = pixtera::lcd::test::Lcd2UsbModel;

// The writer of one interface with its keys read, as the plug-in puts them together.
class Lcd2Usb {
public:
    Lcd2Usb(Model& model, Lcd2UsbOptions options, const std::string& keyMap = kLcd2UsbKeyMap)
    {
        std::string problem;
        auto current = std::make_shared<std::shared_ptr<UsbControl>>();
        WriterSetup setup;
        setup.name = "LCD2USB";
        setup.device = "the model";
        setup.open = [this, &model, current](std::string& error) -> std::optional<DeviceLink> {
            ++opens;
            current->reset();
            auto connection = model.Connect();
            if (!connection) {
                error = "no such device";
                errno = ENODEV;
                return std::nullopt;
            }
            std::string version;
            return StartLcd2Usb(std::move(*connection), *current, version, error);
        };
        setup.poll = [this, current, keys = Lcd2UsbKeys(*ParseKeypadMap(keyMap, problem))](DeviceLink&) mutable {
            if (!*current)
                return;
            if (const auto state = ReadLcd2UsbKeys(**current))
                for (const KeyEventOf& event : keys.Decode(*state)) {
                    std::lock_guard lock(keysMutex);
                    pressed.push_back(KeyName(event.key) + (event.action == kKeyReleased ? "+release" : ""));
                }
        };
        setup.pollEvery = 5ms;
        setup.polling = true;
        setup.protocol = std::make_shared<Lcd2UsbProtocol>(options);
        setup.geometry = options.geometry;
        setup.retry = 5ms;
        setup.absentRetry = 5ms;
        writer = std::make_unique<LcdWriter>(std::move(setup));
    }

    std::vector<std::string> Keys()
    {
        std::lock_guard lock(keysMutex);
        return pressed;
    }

    std::atomic<int> opens{0};
    std::mutex keysMutex; // guards pressed
    std::vector<std::string> pressed;
    std::unique_ptr<LcdWriter> writer; // last: its thread uses the above
};

Lcd2UsbOptions Size(int columns, int rows)
{
    Lcd2UsbOptions options;
    options.geometry = {columns, rows};
    return options;
}

std::string Frame(const Geometry& geometry, int seed)
{
    std::string frame;
    for (int i = 0; i < geometry.cells(); ++i)
        frame.push_back(static_cast<char>('A' + (i + seed) % 26));
    return frame;
}

TEST(Lcd2Usb, AnsweringTheEchoItIsInitialisedAndAFortyByFourUsesBothControllers)
{
    Model model({40, 4});
    Lcd2UsbOptions options = Size(40, 4);
    options.contrast = 120;
    options.brightness = 180;
    Lcd2Usb display(model, options);
    const std::string frame = Frame({40, 4}, 0);
    display.writer->Show(frame);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.Visible(), frame);
    EXPECT_TRUE(model.displayOn(0));
    EXPECT_TRUE(model.displayOn(1));
    EXPECT_EQ(model.echoes(), 1);
    EXPECT_EQ(model.contrast(), 120);
    EXPECT_EQ(model.brightness(), 180);
    EXPECT_EQ(model.faults(), "");

    display.writer->SetBacklight(false);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.brightness(), 0);
}

TEST(Lcd2Usb, AFourRowModuleOfOneControllerHasItsRowsWhereTheControllerKeepsThem)
{
    Model model({20, 4});
    Lcd2Usb display(model, Size(20, 4));
    const std::string frame = Frame({20, 4}, 3);
    display.writer->Show(frame);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.Visible(), frame);
    EXPECT_EQ(model.faults(), "") << "nothing for a second controller";
}

TEST(Lcd2Usb, ADeviceThatEchoesWronglyIsNotConfigured)
{
    Model model({20, 4});
    model.BreakEcho();
    std::shared_ptr<UsbControl> current;
    std::string version;
    std::string error;
    EXPECT_FALSE(StartLcd2Usb(*model.Connect(), current, version, error));
    EXPECT_EQ(model.requests(), 1) << "the echo alone";
    EXPECT_EQ(model.controllerBytes(), 0u);
    EXPECT_FALSE(current);
}

TEST(Lcd2Usb, AOneSecondClockCostsUnderTenBytesASecond)
{
    Model model({20, 2});
    Lcd2Usb display(model, Size(20, 2));
    display.writer->SetPolling(false);
    display.writer->Show("Time      12:00:00");
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    for (int second = 1; second <= 30; ++second) {
        const std::size_t before = model.controllerBytes();
        const int requests = model.requests();
        char clock[16];
        std::snprintf(clock, sizeof clock, "12:00:%02d", second);
        display.writer->Show(std::string("Time      ") + clock);
        ASSERT_TRUE(display.writer->WaitUntilSent(5s));
        EXPECT_LT(model.controllerBytes() - before, 10u) << "second " << second;
        EXPECT_LE(model.requests() - requests, 3) << "second " << second;
    }
    std::string expected = "Time      12:00:30";
    expected.resize(40, ' ');
    EXPECT_EQ(model.Visible(), expected);
}

TEST(Lcd2Usb, UserCharactersReachBothControllers)
{
    Model model({40, 4});
    Lcd2Usb display(model, Size(40, 4));
    const Glyph bar{31, 31, 31, 31, 31, 31, 31, 31};
    display.writer->Define(3, bar);
    std::string frame(160, ' ');
    frame[0] = '\x0b';
    frame[159] = '\x0b';
    display.writer->Show(frame);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.GlyphOf(0, 3), bar);
    EXPECT_EQ(model.GlyphOf(1, 3), bar);
    const std::string shown = model.Visible();
    EXPECT_EQ(shown[0], '\x03');
    EXPECT_EQ(shown[159], '\x03');
}

TEST(Lcd2Usb, ItsTwoKeysArriveAndStrayBitsAreNoKeys)
{
    Model model({20, 2});
    Lcd2Usb display(model, Size(20, 2));
    display.writer->Show("menu");
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    model.SetKeys(0xFD); // key 1, and bits no key has
    ASSERT_TRUE(Eventually([&] { return display.Keys().size() == 1; }));
    model.SetKeys(0x02);
    ASSERT_TRUE(Eventually([&] { return display.Keys().size() == 3; }));
    model.SetKeys(0x00);
    EXPECT_TRUE(Eventually([&] {
        return display.Keys() == std::vector<std::string>{"Enter", "Enter+release", "Escape", "Escape+release"};
    })) << testing::PrintToString(display.Keys());
}

TEST(Lcd2Usb, UnpluggedMidFrameIsReportedOnceAndTheModuleIsInitialisedAfresh)
{
    pixtera::test::CapturedLog log;
    Model model({40, 4});
    Lcd2Usb display(model, Size(40, 4));
    display.writer->SetPolling(false);
    display.writer->Show(Frame({40, 4}, 1));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));

    model.UnplugAfter(3);
    const std::string frame = Frame({40, 4}, 7);
    display.writer->Show(frame);
    ASSERT_TRUE(Eventually([&] { return log.Contains("failed"); }));
    const int opens = display.opens;
    ASSERT_TRUE(Eventually([&] { return display.opens >= opens + 2; })) << "tried again while it is away";

    model.PlugIn();
    ASSERT_TRUE(Eventually([&] { return model.Visible() == frame; })) << model.Visible();
    EXPECT_TRUE(model.displayOn(1));
    EXPECT_EQ(model.echoes(), 2);
    EXPECT_EQ(log.Count("failed") + log.Count("cannot use") + log.Count("went away"), 1) << log.Text();
    EXPECT_EQ(log.Count("is back"), 1) << log.Text();
}

} // namespace
