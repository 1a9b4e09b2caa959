// SPDX-License-Identifier: MIT
// The picoLCD 20x2 driven by the writer over a model of its hidraw node: what reaches the module,
// its keys, and the module going away.

#include "lcd_writer.h"
#include "picolcd_model.h"
#include "picolcd_module.h"
#include "picolcd_protocol.h"
#include "usb_lcd_settings.h"

#include "captured_log.h"
#include "test_environment.h"

#include <pixtera/sdk/key_names.h>

#include <pixtera/sdk/display_leds.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace std::chrono_literals;
using pixtera::test::Eventually;
using Model = pixtera::lcd::test::PicoLcdModel;

std::string Padded(std::string text)
{
    text.resize(40, ' ');
    return text;
}

// The writer and key reader of one module, as the plug-in puts them together.
class PicoLcd {
public:
    explicit PicoLcd(Model& model, PicoLcdOptions options = {}, const std::string& keyMap = kPicoLcdKeyMap)
    {
        std::string problem;
        PicoLcdKeys decoder(*ParseKeypadMap(keyMap, problem));
        reader = std::make_unique<HidInputReader>([this, decoder](std::span<const std::uint8_t> report) mutable {
            for (const KeyEventOf& event : decoder.Decode(report)) {
                std::lock_guard lock(keysMutex);
                std::string name = KeyName(event.key);
                if (event.action == kKeyReleased)
                    name += "+release";
                keys.push_back(name);
            }
        });
        WriterSetup setup;
        setup.name = "picoLCD";
        setup.device = "the model";
        setup.open = [this, &model](std::string& error) -> std::optional<DeviceLink> {
            ++opens;
            auto connection = model.Connect();
            if (!connection) {
                error = "no such device";
                errno = ENODEV;
                return std::nullopt;
            }
            std::string version;
            return StartPicoLcd(std::move(*connection), *reader, version, error);
        };
        setup.protocol = std::make_shared<PicoLcdProtocol>(options);
        setup.geometry = kPicoLcdGeometry;
        setup.retry = 5ms;
        setup.absentRetry = 5ms;
        writer = std::make_unique<LcdWriter>(std::move(setup));
    }
    ~PicoLcd()
    {
        writer.reset();
        reader->Stop();
    }

    std::vector<std::string> Keys()
    {
        std::lock_guard lock(keysMutex);
        return keys;
    }

    std::atomic<int> opens{0};
    std::mutex keysMutex; // guards keys
    std::vector<std::string> keys;
    std::unique_ptr<HidInputReader> reader;
    std::unique_ptr<LcdWriter> writer;
};

TEST(PicoLcd, AskedItsVersionItIsInitialisedAndShowsText)
{
    Model model;
    PicoLcdOptions options;
    options.brightness = 200;
    options.contrast = 40;
    options.leds = 0x3F;
    PicoLcd display(model, options);
    const std::string frame = Padded("CPU  42%  12:00:00  Load 0.15");
    display.writer->Show(frame);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.screen(), frame);
    EXPECT_EQ(model.versionsAsked(), 1) << "asked before anything else";
    EXPECT_EQ(model.backlight(), 200);
    EXPECT_EQ(model.contrast(), 40);
    EXPECT_EQ(model.leds(), 0x3F);
    EXPECT_EQ(model.faults(), "");

    display.writer->SetBacklight(false);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.backlight(), 0);
    display.writer->SetBacklight(true);
    display.writer->SetBrightness(90);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.backlight(), 90);
}

TEST(PicoLcd, EachLedIsABitOfTheMaskAndTheyAreLitAgainAfterAnUnplug)
{
    Model model;
    PicoLcdOptions options;
    options.leds = 0x05;
    PicoLcd display(model, options);
    display.writer->Show(Padded("leds"));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.leds(), 0x05) << "as configured";
    display.writer->SetLed(0, kLedOff);
    display.writer->SetLed(7, kLedOn);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.leds(), 0x84) << "the others kept";

    model.UnplugAfter(1);
    display.writer->Show(Padded("away"));
    ASSERT_TRUE(Eventually([&] { return model.unplugged(); }));
    model.PlugIn();
    ASSERT_TRUE(Eventually([&] { return model.screen() == Padded("away"); })) << model.screen();
    EXPECT_TRUE(Eventually([&] { return model.leds() == 0x84; })) << "as last set, not as configured";
    EXPECT_EQ(model.faults(), "");
}

TEST(PicoLcd, AModuleThatDoesNotAnswerItsVersionIsNotConfigured)
{
    class Silent final : public HidReports {
    public:
        int Write(std::span<const std::uint8_t> report) override
        {
            written += report.size();
            return 0;
        }
        int Read(std::span<std::uint8_t>, std::size_t& got) override
        {
            got = 0;
            return ETIMEDOUT;
        }
        int SetFeature(std::span<const std::uint8_t>) override { return 0; }
        int Identify(std::uint16_t&, std::uint16_t&, std::string&) override { return ETIMEDOUT; }
        std::size_t written = 0;
    };
    auto silent = std::make_shared<Silent>();
    HidInputReader reader([](std::span<const std::uint8_t>) {});
    std::string version;
    std::string error;
    EXPECT_FALSE(StartPicoLcd(HidConnection{UniqueFd(), silent}, reader, version, error));
    EXPECT_EQ(silent->written, 1u) << "only the version report went to it";
    EXPECT_FALSE(error.empty());
}

TEST(PicoLcd, AOneSecondClockCostsUnderTenBytesASecond)
{
    Model model;
    PicoLcd display(model);
    display.writer->Show(Padded("Time      12:00:00  Up 3 days"));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    for (int second = 1; second <= 30; ++second) {
        const std::size_t before = model.bytesWritten();
        char clock[16];
        std::snprintf(clock, sizeof clock, "12:00:%02d", second);
        display.writer->Show(Padded(std::string("Time      ") + clock + "  Up 3 days"));
        ASSERT_TRUE(display.writer->WaitUntilSent(5s));
        EXPECT_LT(model.bytesWritten() - before, 10u) << "second " << second;
    }
    EXPECT_EQ(model.screen(), Padded("Time      12:00:30  Up 3 days"));
    EXPECT_EQ(model.faults(), "");
}

TEST(PicoLcd, UserCharactersAreDefinedAndShown)
{
    Model model;
    PicoLcd display(model);
    const Glyph bar{31, 31, 31, 31, 31, 31, 31, 31};
    const Glyph half{0, 0, 0, 0, 31, 31, 31, 31};
    display.writer->Define(0, bar);
    display.writer->Define(7, half);
    display.writer->Show(Padded(std::string("Vol \x08\x08\x0f") + "   "));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    EXPECT_EQ(model.GlyphOf(0), bar);
    EXPECT_EQ(model.GlyphOf(7), half);
    EXPECT_EQ(model.screen().substr(0, 7), std::string("Vol \0\0\x07", 7));
    EXPECT_EQ(model.faults(), "");
}

TEST(PicoLcd, KeysArriveAsPressesAndReleasesWithRawCodesForTheOthers)
{
    Model model;
    PicoLcd display(model);
    display.writer->Show(Padded("menu"));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    model.HoldKeys(0x05); // Up
    model.HoldKeys(0x05, 0x06); // and OK
    model.HoldKeys(0x06); // Up let go
    model.HoldKeys(0x00);
    model.HoldKeys(0x0B); // a key the map has none for
    model.HoldKeys(0x00);
    const std::vector<std::string> expected{"Up",       "Enter",           "Up+release", "Enter+release",
                                            "Raw:0x0B", "Raw:0x0B+release"};
    EXPECT_TRUE(Eventually([&] { return display.Keys() == expected; })) << testing::PrintToString(display.Keys());
}

TEST(PicoLcd, TheKeyMapIsConfigurable)
{
    Model model;
    PicoLcd display(model, {}, "0x01:Left,0x02:Right");
    display.writer->Show(Padded("menu"));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    model.HoldKeys(0x02);
    model.HoldKeys(0x01);
    model.HoldKeys(0x05);
    EXPECT_TRUE(Eventually([&] {
        return display.Keys() == std::vector<std::string>{"Right", "Left", "Right+release", "Raw:0x05", "Left+release"};
    })) << testing::PrintToString(display.Keys());
}

TEST(PicoLcd, HostileInputReportsMakeNoKeysAndAFloodOfOneStateOnePress)
{
    Model model;
    PicoLcd display(model);
    display.writer->Show(Padded("menu"));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    model.SendInput({});
    model.SendInput({picolcd::kKeys}); // too short
    model.SendInput({picolcd::kKeys, 0x05}); // too short
    model.SendInput({0x10, 0x05, 0x06}); // another report
    model.SendInput(std::vector<std::uint8_t>(100000, 0xAA)); // longer than any report: cut to one
    for (int i = 0; i < 2000; ++i)
        model.HoldKeys(0x07, 0x07); // the same code twice is one key
    model.HoldKeys(0x00);
    EXPECT_TRUE(Eventually([&] { return display.Keys().size() >= 2; }));
    EXPECT_EQ(display.Keys(), (std::vector<std::string>{"Down", "Down+release"}));
}

TEST(PicoLcd, UnpluggedMidFrameIsReportedOnceAndTheModuleIsInitialisedAfresh)
{
    pixtera::test::CapturedLog log;
    Model model;
    PicoLcd display(model);
    const Glyph bar{31, 31, 31, 31, 31, 31, 31, 31};
    display.writer->Define(2, bar);
    display.writer->Show(Padded("before"));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));

    model.UnplugAfter(1); // the next frame's first report goes, then the module is gone
    std::string frame;
    for (int i = 0; i < 40; ++i)
        frame.push_back(static_cast<char>('a' + i % 26));
    display.writer->Show(frame);
    ASSERT_TRUE(Eventually([&] { return log.Contains("failed"); }));
    const int opens = display.opens;
    ASSERT_TRUE(Eventually([&] { return display.opens >= opens + 2; })) << "tried again while it is away";

    model.PlugIn();
    ASSERT_TRUE(Eventually([&] { return model.screen() == frame; })) << model.screen();
    EXPECT_EQ(model.GlyphOf(2), bar) << "its user characters again";
    EXPECT_EQ(model.backlight(), 255);
    EXPECT_EQ(model.versionsAsked(), 2);
    EXPECT_EQ(log.Count("failed") + log.Count("cannot use") + log.Count("went away"), 1) << log.Text();
    EXPECT_EQ(log.Count("is back"), 1) << log.Text();

    model.HoldKeys(0x01);
    EXPECT_TRUE(Eventually([&] { return display.Keys() == std::vector<std::string>{"Escape"}; }))
        << "the keys of the new connection are read";
}

TEST(PicoLcdSettings, AreReadWithTheirDefaultsAndWrongOnesNamed)
{
    std::vector<std::string> problems;
    const auto settings = ReadPicoLcdSettings(
        ConfigurationText("device=auto:1-1.4;backlight=off;brightness=300;contrast=12;leds=5;keys=0x09:Sideways"),
        problems);
    EXPECT_EQ(settings.device, "auto:1-1.4");
    EXPECT_FALSE(settings.options.backlight);
    EXPECT_EQ(settings.options.brightness, 255);
    EXPECT_EQ(settings.options.contrast, 12);
    EXPECT_EQ(settings.options.leds, 5);
    EXPECT_EQ(settings.keys[0x05], kKeyUp) << "the default map stays";
    EXPECT_EQ(problems.size(), 2u) << testing::PrintToString(problems);

    problems.clear();
    const auto wrong = ReadPicoLcdSettings(ConfigurationText("device=hidraw3"), problems);
    EXPECT_EQ(wrong.device, "auto");
    EXPECT_EQ(problems.size(), 1u);
}

} // namespace
