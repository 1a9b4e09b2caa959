// SPDX-License-Identifier: MIT
// Pixtera.CrystalFontz as the service meets it, on a pseudo-terminal with a module model behind it.

#include "captured_log.h"
#include "crystalfontz_model.h"
#include "crystalfontz_settings.h"
#include "plugin_test.h"
#include "recording_key_sink.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/plugin_settings.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>

namespace {

using namespace pixtera;
using pixtera::lcd::CrystalfontzModel;
using pixtera::lcd::EncodePacket;
using pixtera::lcd::Packet;
using pixtera::lcd::PacketKind;
using pixtera::lcd::test::CrystalfontzPty;
using pixtera::lcd::test::CrystalfontzState;

class CrystalfontzPlugin : public ::testing::Test {
protected:
    void Start(CrystalfontzModel model, const std::string& settings)
    {
        pty = std::make_unique<CrystalfontzPty>(model);
        info = test::CreatePlugin<IPluginInfo>("CrystalFontz.so", u"Pixtera.CrystalFontz");
        ASSERT_TRUE(info);
        ASSERT_EQ(info.As<IDisplayInput>()->Advise(sink.get()), S_OK);
        const std::string configuration = "device=" + pty->path() + ";" + settings;
        ASSERT_EQ(info->Configure(BString(std::string_view(configuration)).get()), S_OK);
        display = info.As<IDisplayDriver>();
        ASSERT_TRUE(display);
    }

    bool KeysAre(const std::vector<std::string>& expected)
    {
        return test::Eventually([&] { return sink->keys() == expected; });
    }

    // Each item's value and description, after a poll.
    using Items = std::map<std::string, std::pair<double, std::string>>;
    Items PolledItems()
    {
        const auto data = info.As<IDataProvider>();
        Items items;
        if (!data || FAILED(data->Refresh()))
            return items;
        LONG count = 0;
        data->GetCount(&count);
        for (LONG index = 0; index < count; ++index) {
            BString name;
            BString description;
            Variant value;
            data->GetName(index, name.Out());
            data->GetDescription(index, description.Out());
            data->GetValue(index, &value);
            items[Utf16ToUtf8(BstrView(name.get()))] = {value.vt == VT_R8 ? value.dblVal : -9999,
                                                        Utf16ToUtf8(BstrView(description.get()))};
        }
        return items;
    }
    bool ItemsAre(const Items& expected)
    {
        return test::Eventually([&] { return PolledItems() == expected; });
    }
    bool Asked(int fans, std::int64_t temperatures)
    {
        return test::Eventually([&] {
            const CrystalfontzState state = pty->state();
            return state.fanMask == fans && state.temperatureMask == temperatures;
        });
    }

    test::CapturedLog log;
    std::unique_ptr<CrystalfontzPty> pty;
    ComPtr<test::RecordingKeySink> sink = MakeComObject<test::RecordingKeySink>();
    ComPtr<IPluginInfo> info;
    ComPtr<IDisplayDriver> display;
};

TEST_F(CrystalfontzPlugin, TheModelGivesTheSizeAndTheFramesReachTheModule)
{
    Start(CrystalfontzModel::Cfa633, "model=633;brightness=40;contrast=250");
    LONG columns = 0;
    LONG rows = 0;
    display->GetColumns(&columns);
    display->GetRows(&rows);
    EXPECT_EQ(columns, 16);
    EXPECT_EQ(rows, 2);
    ASSERT_EQ(display->SetCustomChar(1, 31, 17, 17, 17, 17, 17, 17, 31), S_OK);
    ASSERT_EQ(display->Write(BString(u"Load \x09 42%" + std::u16string(32, u' ')).get()), S_OK);
    const std::string expected = std::string("Load \x01 42%") + std::string(22, ' ');
    ASSERT_TRUE(test::Eventually([&] { return pty->state().screen == expected; })) << pty->state().screen;
    const CrystalfontzState state = pty->state();
    EXPECT_EQ(state.glyphs[1][1], 17);
    EXPECT_EQ(state.backlight, 40);
    EXPECT_EQ(state.contrast, 200) << "the 633 takes no more";
    EXPECT_EQ(state.refused, 0);

    auto power = info.As<IDisplayPower>();
    ASSERT_TRUE(power);
    ASSERT_EQ(power->SetBrightness(100), S_OK);
    EXPECT_TRUE(test::Eventually([&] { return pty->state().backlight == 100; }));
    ASSERT_EQ(power->SetBacklight(VARIANT_FALSE), S_OK);
    EXPECT_TRUE(test::Eventually([&] { return pty->state().backlight == 0; }));

    auto settings = info.As<IPluginSettings>();
    ASSERT_TRUE(settings);
    LONG count = 0;
    settings->GetSettingCount(&count);
    EXPECT_EQ(count, static_cast<LONG>(std::size(pixtera::lcd::kCrystalfontzSettings)));
}

TEST_F(CrystalfontzPlugin, TheSixKeysArriveWithTheirNamesPressedAndReleased)
{
    Start(CrystalfontzModel::Cfa635, "model=635");
    ASSERT_TRUE(test::Eventually([&] { return pty->state().keyReleaseMask == 0x3F; }));
    std::string reports;
    for (int code : {1, 7, 5, 11, 6, 12, 4, 0x33})
        reports += EncodePacket(CrystalfontzPty::KeyReport(static_cast<std::uint8_t>(code)));
    reports += EncodePacket(CrystalfontzPty::TemperatureReport(0, 40 * 16));
    ASSERT_TRUE(pty->Send(reports));
    EXPECT_TRUE(
        KeysAre({"Up", "Up+release", "Enter", "Enter+release", "Escape", "Escape+release", "Right", "Raw:0x33"}))
        << testing::PrintToString(sink->keys());
}

TEST_F(CrystalfontzPlugin, TheCfa631sCornerKeysAreArrowsEnterAndEscape)
{
    Start(CrystalfontzModel::Cfa631, "model=631");
    ASSERT_TRUE(test::Eventually([&] { return pty->state().keyPressMask == 0x0F; }));
    std::string reports;
    for (int code : {13, 17, 14, 15, 16})
        reports += EncodePacket(CrystalfontzPty::KeyReport(static_cast<std::uint8_t>(code)));
    ASSERT_TRUE(pty->Send(reports));
    EXPECT_TRUE(KeysAre({"Up", "Up+release", "Enter", "Down", "Escape"})) << testing::PrintToString(sink->keys());
}

TEST_F(CrystalfontzPlugin, The635sLedsAreLitAsConfigured)
{
    Start(CrystalfontzModel::Cfa635, "model=635;leds=green,off,amber,red");
    // Top LED first: green on 11 and red on 12, down to the bottom one's 5 and 6.
    const auto dies = [&] {
        const auto gpio = pty->state().gpio;
        return std::array<int, 8>{gpio[11], gpio[12], gpio[9], gpio[10], gpio[7], gpio[8], gpio[5], gpio[6]};
    };
    EXPECT_TRUE(test::Eventually([&] { return dies() == std::array<int, 8>{100, 0, 0, 0, 100, 100, 0, 100}; }))
        << testing::PrintToString(dies());
}

TEST_F(CrystalfontzPlugin, The635sLedsAreACapabilityThatStartsAsConfiguredAndIsSetOneByOne)
{
    Start(CrystalfontzModel::Cfa635, "model=635;leds=green,off,amber,red");
    const auto leds = info.As<IDisplayLeds>();
    ASSERT_TRUE(leds);
    LONG count = 0;
    ASSERT_EQ(leds->GetLedCount(&count), S_OK);
    ASSERT_EQ(count, 4);
    for (LONG led = 0; led < count; ++led) {
        LONG states = 0;
        ASSERT_EQ(leds->GetLedStates(led, &states), S_OK);
        EXPECT_EQ(states, kLedRedGreen) << led;
    }
    LONG state = -1;
    ASSERT_EQ(leds->GetLed(2, &state), S_OK);
    EXPECT_EQ(state, kLedAmber);
    const auto dies = [&] {
        const auto gpio = pty->state().gpio;
        return std::array<int, 8>{gpio[11], gpio[12], gpio[9], gpio[10], gpio[7], gpio[8], gpio[5], gpio[6]};
    };
    ASSERT_TRUE(test::Eventually([&] { return dies() == std::array<int, 8>{100, 0, 0, 0, 100, 100, 0, 100}; }));

    ASSERT_EQ(leds->SetLed(1, kLedRed), S_OK);
    ASSERT_EQ(leds->SetLed(3, kLedOff), S_OK);
    EXPECT_TRUE(test::Eventually([&] { return dies() == std::array<int, 8>{100, 0, 0, 100, 100, 100, 0, 0}; }))
        << testing::PrintToString(dies());
    ASSERT_EQ(leds->GetLed(1, &state), S_OK);
    EXPECT_EQ(state, kLedRed);

    // Nothing outside the four, nor a state the dies cannot show, reaches the module.
    pty->ResetCounts();
    EXPECT_EQ(leds->SetLed(4, kLedGreen), E_INVALIDARG);
    EXPECT_EQ(leds->SetLed(-1, kLedGreen), E_INVALIDARG);
    EXPECT_EQ(leds->SetLed(0, kLedOn), E_INVALIDARG);
    EXPECT_EQ(leds->SetLed(0, 99), E_INVALIDARG);
    EXPECT_EQ(leds->GetLed(4, &state), E_INVALIDARG);
    ASSERT_EQ(display->Write(BString(std::u16string(u"after")).get()), S_OK);
    ASSERT_TRUE(test::Eventually([&] { return pty->state().screen.substr(0, 5) == "after"; }));
    const auto commands = pty->state().commands;
    EXPECT_EQ(std::count(commands.begin(), commands.end(), pixtera::lcd::cfa::kSetGpio), 0);
    ASSERT_EQ(leds->GetLed(0, &state), S_OK);
    EXPECT_EQ(state, kLedGreen);
}

TEST_F(CrystalfontzPlugin, AModelWithoutLedsHasNone)
{
    Start(CrystalfontzModel::Cfa633, "model=633;leds=green,green,green,green");
    const auto leds = info.As<IDisplayLeds>();
    ASSERT_TRUE(leds);
    LONG count = -1;
    ASSERT_EQ(leds->GetLedCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(leds->SetLed(0, kLedGreen), E_INVALIDARG);
}

TEST_F(CrystalfontzPlugin, TheWatchdogIsArmedFedAndDisarmedWhenTheDriverGoes)
{
    Start(CrystalfontzModel::Cfa633, "model=633;watchdog=3");
    const auto watchdogCommands = [&] {
        const auto commands = pty->state().commands;
        return std::count(commands.begin(), commands.end(), pixtera::lcd::cfa::kWatchdog);
    };
    // Armed, then fed each second.
    ASSERT_TRUE(test::Eventually([&] { return watchdogCommands() >= 3; })) << watchdogCommands();
    EXPECT_EQ(pty->state().watchdog, 3);
    display.Reset();
    info.Reset();
    EXPECT_TRUE(test::Eventually([&] { return pty->state().watchdog == 0; })) << pty->state().watchdog;
}

TEST_F(CrystalfontzPlugin, WithoutAWatchdogSetTheModulesIsLeftAlone)
{
    Start(CrystalfontzModel::Cfa633, "model=633");
    ASSERT_EQ(display->Write(BString(std::u16string(u"on")).get()), S_OK);
    ASSERT_TRUE(test::Eventually([&] { return pty->state().screen.substr(0, 2) == "on"; }));
    display.Reset();
    info.Reset();
    const auto commands = pty->state().commands;
    EXPECT_EQ(std::count(commands.begin(), commands.end(), pixtera::lcd::cfa::kWatchdog), 0);
    EXPECT_EQ(pty->state().watchdog, -1);
}

TEST_F(CrystalfontzPlugin, TheFansAndSensorsConfiguredAreAskedFor)
{
    Start(CrystalfontzModel::Cfa635, "model=635;fans=1,3;temperatures=1-4, 32");
    EXPECT_TRUE(Asked(0b0101, 0x8000000F)) << pty->state().fanMask << " " << pty->state().temperatureMask;
    EXPECT_EQ(pty->state().refused, 0);
    const auto data = info.As<IDataProvider>();
    ASSERT_TRUE(data);
    LONG mode = 0;
    ASSERT_EQ(data->GetUpdateMode(&mode), S_OK);
    EXPECT_EQ(mode, kUpdatePeriodic);
}

TEST_F(CrystalfontzPlugin, WithoutChannelsConfiguredNothingIsAskedAndThereAreNoItems)
{
    Start(CrystalfontzModel::Cfa633, "model=633");
    pty->AttachFan(0, 7, 36923);
    pty->AttachTemperature(0, 400);
    ASSERT_EQ(display->Write(BString(std::u16string(u"on")).get()), S_OK);
    ASSERT_TRUE(test::Eventually([&] { return pty->state().screen.substr(0, 2) == "on"; }));
    const auto commands = pty->state().commands;
    EXPECT_EQ(std::count(commands.begin(), commands.end(), pixtera::lcd::cfa::kFanReporting), 0);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), pixtera::lcd::cfa::kTemperatureReporting), 0);
    // Reports nobody asked for (another program's) make no items either.
    ASSERT_TRUE(pty->Send(EncodePacket(CrystalfontzPty::FanReport(0, 7, 36923)) +
                          EncodePacket(CrystalfontzPty::TemperatureReport(0, 400)) +
                          EncodePacket(CrystalfontzPty::KeyReport(1))));
    ASSERT_TRUE(KeysAre({"Up"}));
    EXPECT_TRUE(PolledItems().empty());
}

TEST_F(CrystalfontzPlugin, TheChannelsThatReportAreItemsInRpmAndDegrees)
{
    Start(CrystalfontzModel::Cfa635, "model=635;fans=1-3;temperatures=1-4");
    pty->AttachFan(0, 7, 36923); // 4 cycles counted in 36923 ticks: 1500 rpm
    pty->AttachFan(2, 3, 0); // stalled
    pty->AttachFan(3, 7, 36923); // not asked for
    pty->AttachTemperature(0, 375); // 23.4375 degrees
    pty->AttachTemperature(1, -168);
    pty->AttachTemperature(2, 400, false); // its sensor's CRC failed
    pty->AttachTemperature(4, 400); // not asked for
    ASSERT_TRUE(Asked(0b0111, 0x0F));
    Items expected = {
        {"CrystalFontz fan 1", {1500, "CrystalFontz\\Fan 1 (rpm)"}},
        {"CrystalFontz fan 3", {0, "CrystalFontz\\Fan 3 (rpm)"}},
        {"CrystalFontz temperature 1", {23.4375, "CrystalFontz\\Temperature 1 (\u00B0C)"}},
        {"CrystalFontz temperature 2", {-10.5, "CrystalFontz\\Temperature 2 (\u00B0C)"}},
    };
    ASSERT_TRUE(ItemsAre(expected)) << testing::PrintToString(PolledItems());
    // Every report comes again: a later value shows, and nothing else has appeared meanwhile.
    pty->AttachFan(0, 11, 36923);
    expected["CrystalFontz fan 1"].first = 3000;
    EXPECT_TRUE(ItemsAre(expected)) << testing::PrintToString(PolledItems());
}

TEST_F(CrystalfontzPlugin, ATemperatureWhoseSensorCrcFailedKeepsTheLastGoodValue)
{
    Start(CrystalfontzModel::Cfa633, "model=633;temperatures=1,2");
    pty->AttachTemperature(0, 400);
    ASSERT_TRUE(ItemsAre({{"CrystalFontz temperature 1", {25, "CrystalFontz\\Temperature 1 (\u00B0C)"}}}))
        << testing::PrintToString(PolledItems());
    // Sensor 1's report comes before sensor 2's in each round: once 2 shows, 1's bad one was read.
    pty->AttachTemperature(0, 800, false);
    pty->AttachTemperature(1, 320);
    EXPECT_TRUE(ItemsAre({{"CrystalFontz temperature 1", {25, "CrystalFontz\\Temperature 1 (\u00B0C)"}},
                          {"CrystalFontz temperature 2", {20, "CrystalFontz\\Temperature 2 (\u00B0C)"}}}))
        << testing::PrintToString(PolledItems());
}

TEST_F(CrystalfontzPlugin, AModuleWithoutAScabHasNoItems)
{
    Start(CrystalfontzModel::Cfa635, "model=635;fans=1-4;temperatures=1-32");
    ASSERT_TRUE(Asked(0x0F, 0xFFFFFFFF));
    ASSERT_TRUE(pty->Send(EncodePacket(CrystalfontzPty::KeyReport(2))));
    ASSERT_TRUE(KeysAre({"Down"}));
    EXPECT_TRUE(PolledItems().empty()) << testing::PrintToString(PolledItems());
}

TEST_F(CrystalfontzPlugin, AFloodOfReportsKeepsTheNewestAndNothingOutsideTheChannelsCounts)
{
    Start(CrystalfontzModel::Cfa633, "model=633;fans=1;temperatures=1");
    ASSERT_TRUE(Asked(0b0001, 0b0001));
    std::string reports;
    for (int ticks = 20000; ticks < 21000; ++ticks)
        reports += EncodePacket(CrystalfontzPty::FanReport(0, 7, ticks));
    reports += EncodePacket(CrystalfontzPty::FanReport(0, 7, 36923));
    reports += EncodePacket(CrystalfontzPty::TemperatureReport(0, 320));
    reports += EncodePacket(CrystalfontzPty::TemperatureReport(0, 32000)); // 2000 degrees: no sensor's
    reports += EncodePacket(CrystalfontzPty::FanReport(0, 0xFF, 100)); // a fan the module could not time
    reports += EncodePacket(CrystalfontzPty::FanReport(0, 7, 0));
    reports += EncodePacket(CrystalfontzPty::FanReport(7, 7, 36923));
    reports += EncodePacket(CrystalfontzPty::TemperatureReport(40, 320));
    reports += EncodePacket(Packet{PacketKind::Report, pixtera::lcd::cfa::kFanReport, std::string("\0\7\1", 3)});
    reports += EncodePacket(CrystalfontzPty::KeyReport(1));
    ASSERT_TRUE(pty->Send(reports));
    ASSERT_TRUE(KeysAre({"Up"}));
    EXPECT_EQ(PolledItems(), (Items{{"CrystalFontz fan 1", {1500, "CrystalFontz\\Fan 1 (rpm)"}},
                                    {"CrystalFontz temperature 1", {20, "CrystalFontz\\Temperature 1 (\u00B0C)"}}}))
        << testing::PrintToString(PolledItems());
}

TEST_F(CrystalfontzPlugin, AReconnectionAsksForTheChannelsAgain)
{
    Start(CrystalfontzModel::Cfa633, "model=633;fans=1;temperatures=2");
    ASSERT_TRUE(Asked(0b0001, 0b0010));
    pty->SetSilent(true);
    ASSERT_EQ(display->Write(BString(std::u16string(u"gone")).get()), S_OK);
    ASSERT_TRUE(test::Eventually([&] { return log.Contains("failed"); })) << log.Text();
    pty->ResetCounts();
    pty->SetSilent(false);
    EXPECT_TRUE(test::Eventually([&] {
        const auto commands = pty->state().commands;
        return std::count(commands.begin(), commands.end(), pixtera::lcd::cfa::kFanReporting) == 1 &&
               std::count(commands.begin(), commands.end(), pixtera::lcd::cfa::kTemperatureReporting) == 1;
    })) << testing::PrintToString(pty->state().commands);
}

TEST_F(CrystalfontzPlugin, UnusableSettingsAreNamedAndTheirDefaultsTaken)
{
    Start(CrystalfontzModel::Cfa635, "model=640;speed=9600;leds=blue;brightness=300;fans=5;temperatures=3-1");
    EXPECT_TRUE(log.Contains("model (533, 631, 633 or 635)")) << log.Text();
    EXPECT_TRUE(log.Contains("speed (19200 or 115200)")) << log.Text();
    EXPECT_TRUE(log.Contains("leds (four of off, green, red or amber, top first)")) << log.Text();
    EXPECT_TRUE(log.Contains("brightness (0 to 100)")) << log.Text();
    EXPECT_TRUE(log.Contains("fans (channels 1 to 4")) << log.Text();
    EXPECT_TRUE(log.Contains("temperatures (sensors 1 to 32")) << log.Text();
    LONG columns = 0;
    display->GetColumns(&columns);
    EXPECT_EQ(columns, 20) << "a 635";
    // A frame follows the whole initialisation.
    ASSERT_EQ(display->Write(BString(std::u16string(u"up")).get()), S_OK);
    ASSERT_TRUE(test::Eventually([&] { return pty->state().screen.substr(0, 2) == "up"; }));
    EXPECT_EQ(pty->state().backlight, 100);
    EXPECT_EQ(pty->state().gpio, (std::array<int, 13>{})) << "no LED touched";
    EXPECT_EQ(pty->state().fanMask, -1) << "no fan asked for";
    EXPECT_EQ(pty->state().temperatureMask, -1);
}

} // namespace
