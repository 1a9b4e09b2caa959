// SPDX-License-Identifier: MIT
// A display's LEDs on the bus: org.pixtera.IDisplayLeds only where the driver has LEDs, SetLed
// checked before the driver sees it, the Leds property announced when it changes, and the proxy
// a client's COM calls go through.

#include "remote_objects_fixture.h"

#include <pixtera/sdk/display_leds.h>

#include <chrono>
#include <map>
#include <mutex>
#include <vector>

namespace {

using namespace pixtera;
using namespace pixtera::test;

using LedEntry = sdbus::Struct<std::string, std::vector<std::string>>;

class DisplayLeds : public RemoteObjects {
protected:
    // Display 0 a scripted driver with two LEDs (red and green, then on or off), display 1 a file
    // display without any.
    void Configure()
    {
        std::ofstream(configuration(), std::ios::trunc)
            << "<PixteraConfiguration><drivers><driver clsid=\"PixteraTest.ScriptedProvider\" "
               "configuration=\"items=A:1;leds=2\"><display active=\"yes\"/></driver>"
               "<driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
            << frames.string() << "\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
        manager = Connect();
        ASSERT_TRUE(manager);
        watched = sdbus::createProxy(*signals, bus::kServiceName, bus::DisplayPath(0));
        watched->uponSignal("PropertiesChanged")
            .onInterface("org.freedesktop.DBus.Properties")
            .call([this](const std::string& interface, const std::map<std::string, sdbus::Variant>& changed,
                         const std::vector<std::string>&) {
                std::lock_guard lock(mutex);
                if (interface == bus::kDisplayLeds && changed.count("Leds"))
                    announced.push_back(changed.at("Leds").get<std::vector<LedEntry>>());
            });
        watched->finishRegistration();
        signals->enterEventLoopAsync();
        display = sdbus::createProxy(*calls, bus::kServiceName, bus::DisplayPath(0));
    }
    void TearDown() override
    {
        signals->leaveEventLoop();
        RemoteObjects::TearDown();
    }

    std::vector<LedEntry> Leds()
    {
        return display->getProperty("Leds").onInterface(bus::kDisplayLeds).get<std::vector<LedEntry>>();
    }
    // The refusal's text; empty when the call was taken.
    std::string SetLed(std::uint32_t index, const std::string& state)
    {
        try {
            display->callMethod("SetLed").onInterface(bus::kDisplayLeds).withArguments(index, state);
            return {};
        } catch (const sdbus::Error& error) {
            return error.getMessage();
        }
    }

    std::unique_ptr<sdbus::IConnection> signals = sdbus::createSessionBusConnection();
    std::unique_ptr<sdbus::IConnection> calls = sdbus::createSessionBusConnection();
    std::unique_ptr<sdbus::IProxy> watched;
    std::unique_ptr<sdbus::IProxy> display;
    std::mutex mutex; // guards announced
    std::vector<std::vector<LedEntry>> announced;
};

const std::vector<std::string> kRedGreen{"off", "green", "red", "amber"};
const std::vector<std::string> kOnOff{"off", "on"};

TEST_F(DisplayLeds, SetOverTheBusTheyAreTheDriversAndAnnounced)
{
    Configure();
    EXPECT_EQ(Leds(), (std::vector<LedEntry>{{"off", kRedGreen}, {"off", kOnOff}}));
    EXPECT_EQ(SetLed(0, "amber"), "");
    EXPECT_EQ(SetLed(1, "on"), "");
    const std::vector<LedEntry> lit{{"amber", kRedGreen}, {"on", kOnOff}};
    EXPECT_EQ(Leds(), lit);
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard lock(mutex);
        return !announced.empty() && announced.back() == lit;
    }));
}

TEST_F(DisplayLeds, ALedTheModuleLacksOrAStateItCannotShowIsRefusedWithTheReason)
{
    Configure();
    EXPECT_NE(SetLed(2, "on").find("no LED 2 (the display has 2"), std::string::npos) << SetLed(2, "on");
    EXPECT_NE(SetLed(0xFFFFFFFF, "on").find("no LED"), std::string::npos);
    EXPECT_NE(SetLed(1, "green").find("it shows off, on"), std::string::npos) << SetLed(1, "green");
    EXPECT_NE(SetLed(0, "on").find("it shows off, green, red, amber"), std::string::npos);
    const std::string hostile(4096, 'x');
    EXPECT_LT(SetLed(0, hostile).size(), 200u) << "a long state is not echoed whole";
    EXPECT_EQ(Leds(), (std::vector<LedEntry>{{"off", kRedGreen}, {"off", kOnOff}})) << "nothing changed";
    std::lock_guard lock(mutex);
    EXPECT_TRUE(announced.empty());
}

TEST_F(DisplayLeds, ARefusedStateOfManyBytesPerLetterIsAnsweredAndNotCutInsideALetter)
{
    Configure();
    // Two bytes a letter after one of one: the echo's byte limit falls inside a letter.
    std::string state = "x";
    for (int n = 0; n < 20; ++n)
        state += "\xC3\xA9";
    std::string name;
    std::string message;
    try {
        display->callMethod("SetLed")
            .onInterface(bus::kDisplayLeds)
            .withTimeout(std::chrono::seconds(10))
            .withArguments(std::uint32_t{0}, state);
    } catch (const sdbus::Error& error) {
        name = error.getName();
        message = error.getMessage();
    }
    EXPECT_EQ(name.rfind(bus::kErrorPrefix, 0), 0u) << "refused by the service, not left unanswered: " << name;
    EXPECT_NE(message.find("cannot show \"x\xC3\xA9"), std::string::npos) << message;
}

TEST_F(DisplayLeds, ASetThatChangesNothingIsNotAnnounced)
{
    Configure();
    EXPECT_EQ(SetLed(0, "red"), "");
    for (int n = 0; n < 50; ++n)
        EXPECT_EQ(SetLed(0, "red"), "");
    EXPECT_EQ(SetLed(1, "off"), "") << "as it was";
    EXPECT_EQ(SetLed(1, "on"), "");
    const std::vector<LedEntry> last{{"red", kRedGreen}, {"on", kOnOff}};
    // One sender's signals come in the order sent: once the last is here, all before it are.
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard lock(mutex);
        return !announced.empty() && announced.back() == last;
    }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(announced.size(), 2u) << "the two changes, nothing for the repeats";
}

TEST_F(DisplayLeds, OnlyADisplayWithLedsHasTheInterface)
{
    Configure();
    std::string xml;
    sdbus::createProxy(*calls, bus::kServiceName, bus::DisplayPath(1))
        ->callMethod("Introspect")
        .onInterface("org.freedesktop.DBus.Introspectable")
        .storeResultsTo(xml);
    EXPECT_EQ(xml.find(bus::kDisplayLeds), std::string::npos) << xml;
    display->callMethod("Introspect").onInterface("org.freedesktop.DBus.Introspectable").storeResultsTo(xml);
    EXPECT_NE(xml.find(bus::kDisplayLeds), std::string::npos);
}

TEST_F(DisplayLeds, AClientsProxyReadsAndSetsThemAndADisplayWithoutHasNone)
{
    Configure();
    ComPtr<IDisplayManager> displays;
    ASSERT_EQ(manager->GetDisplayManager(displays.Out()), S_OK);
    ComPtr<IManagedDisplay> first;
    ASSERT_EQ(displays->Item(0, first.Out()), S_OK);
    const auto leds = first.As<IDisplayLeds>();
    ASSERT_TRUE(leds);
    LONG count = 0;
    ASSERT_EQ(leds->GetLedCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    LONG states = 0;
    ASSERT_EQ(leds->GetLedStates(0, &states), S_OK);
    EXPECT_EQ(states, kLedRedGreen);
    ASSERT_EQ(leds->GetLedStates(1, &states), S_OK);
    EXPECT_EQ(states, kLedOnOff);
    ASSERT_EQ(leds->SetLed(0, kLedRed), S_OK);
    LONG state = kLedOff;
    ASSERT_EQ(leds->GetLed(0, &state), S_OK);
    EXPECT_EQ(state, kLedRed);
    EXPECT_EQ(leds->SetLed(1, kLedAmber), E_INVALIDARG);
    EXPECT_EQ(leds->GetLed(2, &state), E_INVALIDARG);

    ComPtr<IManagedDisplay> second;
    ASSERT_EQ(displays->Item(1, second.Out()), S_OK);
    ASSERT_EQ(second.As<IDisplayLeds>()->GetLedCount(&count), S_OK);
    EXPECT_EQ(count, 0);
}

} // namespace
