// SPDX-License-Identifier: MIT
// A display's keys, traffic and link on the broker: the event entity, the traffic sensors and the
// link sensor as Home Assistant reads them, the key events' payloads, and keys as fast as they come
// bounded to one event per display a tenth of a second; a menu's events on an entity of their own.

#include "discovery.h"
#include "display_signals.h"
#include "key_events.h"
#include "led_entities.h"
#include "menu_event_entity.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

namespace {

using namespace pixtera::bridge;
using namespace std::chrono_literals;
using nlohmann::json;

const std::string kKey = "0123456789abcdef0123456789abcdef";

TEST(DisplayEntities, TheKeysAreAnEventEntityOfTheDisplaysDeviceWithEveryKeysType)
{
    const Topics topics("nas", kKey);
    EXPECT_EQ(topics.EventConfigTopic(2), "homeassistant/event/pixtera_nas_01234567/display_2/config");
    const json event = json::parse(topics.EventConfig(2));
    const json notify = json::parse(topics.NotifyConfig(2));
    EXPECT_EQ(event["name"], "Keys");
    EXPECT_EQ(event["unique_id"], "pixtera_0123456789abcdef_display_2_keys");
    EXPECT_EQ(event["object_id"], "pixtera_nas_display_2_keys");
    EXPECT_EQ(event["state_topic"], "pixtera/nas/display/2/key");
    EXPECT_EQ(event["device_class"], "button");
    EXPECT_EQ(event["device"], notify["device"]) << "on the display's device";
    EXPECT_EQ(event["availability"], notify["availability"]);
    EXPECT_EQ(event["availability_mode"], "all");
    EXPECT_EQ(event["event_types"], json::array({"Up", "Down", "Left", "Right", "Enter", "Escape", "F1", "F2", "F3",
                                                 "F4", "F5", "F6", "F7", "F8", "Raw"}));
}

TEST(DisplayEntities, AMenusEventsAreAnEntityOfTheirOwnListingTheNamesHeard)
{
    const Topics topics("nas", kKey);
    EXPECT_EQ(MenuEventConfigTopic(topics, 2), "homeassistant/event/pixtera_nas_01234567/display_2_menu/config");
    EXPECT_TRUE(topics.IsConfigTopic(MenuEventConfigTopic(topics, 2))) << "cleared with the machine's other configs";
    const json keys = json::parse(topics.EventConfig(2));
    const json menu = json::parse(MenuEventConfig(topics, 2, {"garage.open", "lights-off"}));
    EXPECT_EQ(menu["name"], "Menu");
    EXPECT_EQ(menu["unique_id"], "pixtera_0123456789abcdef_display_2_menu");
    EXPECT_EQ(menu["object_id"], "pixtera_nas_display_2_menu");
    EXPECT_EQ(menu["state_topic"], "pixtera/nas/display/2/menu");
    EXPECT_EQ(MenuEventTopic(topics, 2), "pixtera/nas/display/2/menu");
    EXPECT_EQ(menu["event_types"], json::array({"garage.open", "lights-off"}));
    EXPECT_FALSE(menu.contains("device_class")) << "no button";
    EXPECT_EQ(menu["device"], keys["device"]);
    EXPECT_EQ(menu["availability"], keys["availability"]);
    EXPECT_EQ(json::parse(MenuEventPayload("garage.open", 1)), (json{{"event_type", "garage.open"}}));
    EXPECT_EQ(json::parse(MenuEventPayload("garage.open", 3)), (json{{"event_type", "garage.open"}, {"presses", 3}}));
}

TEST(DisplayEntities, AMenuEventsNameIsCheckedAndTheNamesListedAreBounded)
{
    for (const std::string& good : std::vector<std::string>{"a", "garage.open", "Lights_off-2", std::string(64, 'x')})
        EXPECT_TRUE(IsMenuEventName(good)) << good;
    for (const std::string& bad :
         std::vector<std::string>{"", std::string(65, 'x'), "two words", "a/b", "a+", "#", "\u00e9t\u00e9", "\n"})
        EXPECT_FALSE(IsMenuEventName(bad)) << bad;

    MenuEventNames names;
    EXPECT_EQ(names.Hear(1, "open"), MenuEventNames::Heard::New);
    EXPECT_EQ(names.Hear(1, "open"), MenuEventNames::Heard::Known);
    EXPECT_EQ(names.Hear(2, "open"), MenuEventNames::Heard::New) << "each display has its own";
    for (std::size_t i = 1; i < MenuEventNames::kMostNames; ++i)
        EXPECT_EQ(names.Hear(1, "e" + std::to_string(i)), MenuEventNames::Heard::New);
    EXPECT_EQ(names.Hear(1, "one-too-many"), MenuEventNames::Heard::TooMany);
    EXPECT_EQ(names.Hear(1, "open"), MenuEventNames::Heard::Known) << "the names listed still pass";
    EXPECT_EQ(names.Of(1).size(), MenuEventNames::kMostNames);
    EXPECT_EQ(names.Of(1).front(), "open") << "in the order they came";
    EXPECT_TRUE(names.Of(3).empty());
}

TEST(DisplayEntities, AKeysEventNamesATypeTheEntityHasAndARawKeysCode)
{
    const std::vector<std::string> types = KeyEventTypes();
    for (const std::string key : {"Up", "Escape", "F8", "Raw:0x41"}) {
        const json event = json::parse(KeyEventPayload(key, 1));
        EXPECT_NE(std::find(types.begin(), types.end(), event["event_type"]), types.end()) << key;
        EXPECT_FALSE(event.contains("presses")) << key;
    }
    EXPECT_EQ(json::parse(KeyEventPayload("Raw:0x41", 1)), (json{{"event_type", "Raw"}, {"code", "0x41"}}));
    EXPECT_EQ(json::parse(KeyEventPayload("Down", 7)), (json{{"event_type", "Down"}, {"presses", 7}}));
}

TEST(DisplayEntities, TrafficSensorsAreDiagnosticsWithUnitsAndIdsNoItemHas)
{
    const Topics topics("nas", kKey);
    std::set<std::string> ids;
    const std::map<Traffic, std::pair<std::string, std::string>> expected{{Traffic::Frames, {"frames", "fps"}},
                                                                          {Traffic::Bytes, {"bytes", "B/s"}},
                                                                          {Traffic::BusTime, {"bus_time", "ms"}}};
    for (const Traffic what : kTraffic) {
        const auto& [level, unit] = expected.at(what);
        EXPECT_EQ(topics.TrafficConfigTopic(1, what),
                  "homeassistant/sensor/pixtera_nas_01234567/display_1-" + level + "/config");
        const json sensor = json::parse(topics.TrafficConfig(1, what));
        EXPECT_EQ(sensor["state_topic"], "pixtera/nas/display/1/" + level);
        EXPECT_EQ(topics.TrafficState(1, what), "pixtera/nas/display/1/" + level);
        EXPECT_EQ(sensor["unit_of_measurement"], unit);
        EXPECT_EQ(sensor["state_class"], "measurement");
        EXPECT_EQ(sensor["entity_category"], "diagnostic");
        EXPECT_EQ(sensor["device"], json::parse(topics.NotifyConfig(1))["device"]);
        ids.insert(sensor["unique_id"].get<std::string>());
    }
    EXPECT_EQ(json::parse(topics.TrafficConfig(1, Traffic::Bytes))["device_class"], "data_rate");
    EXPECT_EQ(json::parse(topics.TrafficConfig(1, Traffic::BusTime))["device_class"], "duration");
    ids.insert(json::parse(topics.DiagnosticConfig(1, Diagnostic::Driver))["unique_id"].get<std::string>());
    ids.insert(json::parse(topics.EventConfig(1))["unique_id"].get<std::string>());
    EXPECT_EQ(ids.size(), 5u) << "no two entities share a unique_id";
}

TEST(DisplayEntities, ALedOfColoursIsASelectAndAnOnOffLedASwitchOnTheDisplaysDevice)
{
    const Topics topics("nas", kKey);
    const DisplayLed colours{"amber", {"off", "green", "red", "amber"}};
    const DisplayLed plain{"on", {"off", "on"}};
    const json notify = json::parse(topics.NotifyConfig(2));

    EXPECT_EQ(LedConfigTopic(topics, 2, 1, colours),
              "homeassistant/select/pixtera_nas_01234567/display_2_led_1/config");
    const json select = json::parse(LedConfig(topics, 2, 1, colours));
    EXPECT_EQ(select["name"], "LED 1");
    EXPECT_EQ(select["unique_id"], "pixtera_0123456789abcdef_display_2_led_1");
    EXPECT_EQ(select["object_id"], "pixtera_nas_display_2_led_1");
    EXPECT_EQ(select["state_topic"], "pixtera/nas/display/2/led/1");
    EXPECT_EQ(select["command_topic"], "pixtera/nas/display/2/led/1/set");
    EXPECT_EQ(select["options"], json::array({"off", "green", "red", "amber"}));
    EXPECT_EQ(select["device"], notify["device"]) << "on the display's device";
    EXPECT_EQ(select["availability"], notify["availability"]);
    EXPECT_EQ(select["availability_mode"], "all");
    EXPECT_FALSE(select.contains("payload_on"));

    EXPECT_EQ(LedConfigTopic(topics, 2, 3, plain), "homeassistant/switch/pixtera_nas_01234567/display_2_led_3/config");
    const json toggle = json::parse(LedConfig(topics, 2, 3, plain));
    EXPECT_EQ(toggle["name"], "LED 3");
    EXPECT_EQ(toggle["unique_id"], "pixtera_0123456789abcdef_display_2_led_3");
    EXPECT_EQ(toggle["state_topic"], "pixtera/nas/display/2/led/3");
    EXPECT_EQ(toggle["command_topic"], "pixtera/nas/display/2/led/3/set");
    EXPECT_EQ(toggle["payload_on"], "ON");
    EXPECT_EQ(toggle["payload_off"], "OFF");
    EXPECT_EQ(toggle["device"], notify["device"]);
    EXPECT_FALSE(toggle.contains("options"));

    std::set<std::string> ids{select["unique_id"].get<std::string>(), toggle["unique_id"].get<std::string>(),
                              json::parse(topics.ScreenConfig(2, {"a"}))["unique_id"].get<std::string>(),
                              json::parse(topics.LineConfig(2, 1, 20))["unique_id"].get<std::string>(),
                              json::parse(topics.EventConfig(2))["unique_id"].get<std::string>()};
    EXPECT_EQ(ids.size(), 5u) << "no two entities share a unique_id";
}

TEST(DisplayEntities, ALedsStateAndCommandsAreWhatItsEntityTakes)
{
    const DisplayLed colours{"red", {"off", "green", "red", "amber"}};
    const DisplayLed plain{"on", {"off", "on"}};
    EXPECT_EQ(LedPayload(colours), "red");
    EXPECT_EQ(LedPayload(plain), "ON");
    EXPECT_EQ(LedPayload(DisplayLed{"off", {"off", "on"}}), "OFF");

    std::string why;
    EXPECT_EQ(LedCommand(colours, "amber", why), "amber");
    EXPECT_EQ(LedCommand(plain, "ON", why), "on");
    EXPECT_EQ(LedCommand(plain, "off", why), "off") << "as the backlight's switch takes either case";
    EXPECT_EQ(LedCommand(colours, "on", why), std::nullopt);
    EXPECT_EQ(why, "the LED shows only off, green, red, amber");
    EXPECT_EQ(LedCommand(colours, "AMBER", why), std::nullopt) << "a select's option exactly";
    EXPECT_EQ(LedCommand(plain, "green", why), std::nullopt);
    EXPECT_EQ(why, "ON or OFF was expected");
    EXPECT_EQ(LedCommand(plain, std::string(2000, 'O'), why), std::nullopt);
}

TEST(DisplayEntities, TheLinkIsADiagnosticEnumSensorOfTheDisplayReadableWhileTheDisplayIsNot)
{
    const Topics topics("nas", kKey);
    EXPECT_EQ(topics.LinkConfigTopic(3), "homeassistant/sensor/pixtera_nas_01234567/display_3-link/config");
    const json link = json::parse(topics.LinkConfig(3));
    const json notify = json::parse(topics.NotifyConfig(3));
    EXPECT_EQ(link["name"], "Link");
    EXPECT_EQ(link["unique_id"], "pixtera_0123456789abcdef_display_3-link");
    EXPECT_EQ(link["object_id"], "pixtera_nas_display_3_link");
    EXPECT_EQ(link["state_topic"], "pixtera/nas/display/3/link");
    EXPECT_EQ(topics.LinkState(3), "pixtera/nas/display/3/link");
    EXPECT_EQ(link["json_attributes_topic"], "pixtera/nas/display/3/link/attributes");
    EXPECT_EQ(topics.LinkAttributes(3), "pixtera/nas/display/3/link/attributes");
    EXPECT_EQ(link["entity_category"], "diagnostic");
    EXPECT_EQ(link["device_class"], "enum");
    EXPECT_EQ(link["options"], json::array({"connected", "outage"}));
    EXPECT_EQ(link["device"], notify["device"]) << "on the display's device";
    // The machine's availability alone: the display's goes offline with the link.
    EXPECT_EQ(link["availability_topic"], "pixtera/nas/status");
    EXPECT_EQ(link["payload_available"], "online");
    EXPECT_EQ(link["payload_not_available"], "offline");
    EXPECT_FALSE(link.contains("availability"));
    EXPECT_FALSE(link.contains("availability_mode"));
    EXPECT_NE(link["unique_id"], json::parse(topics.DiagnosticConfig(3, Diagnostic::Output))["unique_id"]);
    EXPECT_NE(link["state_topic"], json::parse(topics.DiagnosticConfig(3, Diagnostic::Output))["state_topic"]);
}

TEST(DisplayEntities, AnOutagesStartIsAnIsoTimeInUtcAndNoneIsNull)
{
    EXPECT_EQ(json::parse(LinkAttributesPayload(1796813527)), (json{{"outage_since", "2026-12-09T10:52:07+00:00"}}));
    EXPECT_EQ(json::parse(LinkAttributesPayload(0)), (json{{"outage_since", nullptr}}));
    EXPECT_EQ(json::parse(LinkAttributesPayload(-5)), (json{{"outage_since", nullptr}}));
}

TEST(DisplayEntities, OnlyLedsOfKnownStatesReachTheBrokerAndTheyAreBounded)
{
    const std::vector<std::string> kRedGreen{"off", "green", "red", "amber"};
    EXPECT_EQ(CheckedLeds({{"red", kRedGreen}, {"on", {"on", "off"}}}, 16),
              (std::vector<DisplayLed>{{"red", kRedGreen}, {"on", {"off", "on"}}}))
        << "the service's own, in the order of the states";

    // Whoever holds the service's name may list anything: none of it lands in a config.
    std::vector<std::string> many(5000, std::string(1000, 'x'));
    many.insert(many.end(), {"off", "on", "off", "on"});
    const auto checked = CheckedLeds({{"off", many}}, 16);
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(checked[0], (DisplayLed{"off", {"off", "on"}})) << "unknown states and repeats left out";
    EXPECT_LT(LedConfig(Topics("nas", kKey), 1, 1, checked[0]).size(), 2000u);

    EXPECT_EQ(
        CheckedLeds({{"on", {"on", "off"}}, {"purple", {"off", "on", "purple"}}, {"on", {"off", "on"}}}, 16).size(), 1u)
        << "a state it cannot show ends the list: the LEDs after it would take its number";
    EXPECT_TRUE(CheckedLeds({{"on", {"on"}}}, 16).empty()) << "one state is nothing to set";
    EXPECT_TRUE(CheckedLeds({{"", {}}}, 16).empty());
    EXPECT_EQ(CheckedLeds(std::vector<DisplayLed>(100, DisplayLed{"on", {"off", "on"}}), 16).size(), 16u);
}

TEST(DisplaySignals, OnlyADisplaysPathNamesADisplay)
{
    EXPECT_EQ(DisplayOfPath("/org/pixtera/Display/0"), 0);
    EXPECT_EQ(DisplayOfPath("/org/pixtera/Display/12"), 12);
    EXPECT_EQ(DisplayOfPath("/org/pixtera/Display/63"), 63) << "the last display the bridge serves";
    for (const char* path :
         {"/org/pixtera/Display/", "/org/pixtera/Display/1x", "/org/pixtera/Display/-1", "/org/pixtera/Display/64",
          "/org/pixtera/Display/2147483647", "/org/pixtera/Display/99999999999", "/org/pixtera/Display/1/2",
          "/org/pixtera/Driver/1", "/org/pixtera/Display", ""})
        EXPECT_FALSE(DisplayOfPath(path)) << path;
}

TEST(KeyEvents, AKeyHeldIsOneEventEachGapWithItsPressesCounted)
{
    KeyEvents keys;
    const auto start = KeyEvents::Clock::time_point{} + 1h;
    EXPECT_FALSE(keys.NextDue()) << "nothing waits: no timer";
    ASSERT_TRUE(keys.Push(1, "Up"));
    auto events = keys.Take(start);
    ASSERT_EQ(events.size(), 1u) << "the first at once";
    EXPECT_EQ(events[0].key, "Up");
    EXPECT_EQ(events[0].presses, 1);
    // A thousand a second for a second: merged while each waits for the gap.
    for (int ms = 1; ms <= 1000; ++ms)
        ASSERT_TRUE(keys.Push(1, "Up"));
    EXPECT_TRUE(keys.Take(start + 50ms).empty()) << "within the gap";
    EXPECT_EQ(keys.NextDue(), start + KeyEvents::kGap);
    events = keys.Take(start + KeyEvents::kGap);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].presses, 1000);
    EXPECT_TRUE(keys.empty());
    EXPECT_FALSE(keys.NextDue());
}

TEST(KeyEvents, OtherKeysWaitInTurnBoundedPerDisplayAndDisplaysDoNotWaitForEachOther)
{
    KeyEvents keys;
    const auto start = KeyEvents::Clock::time_point{} + 1h;
    std::size_t taken = 0;
    for (std::size_t i = 0; i < KeyEvents::kMostWaiting; ++i)
        EXPECT_TRUE(keys.Push(1, i % 2 ? "Up" : "Down")) << i;
    EXPECT_FALSE(keys.Push(1, "Enter")) << "beyond the bound a different key is left out";
    EXPECT_TRUE(keys.Push(1, "Up")) << "a repeat of the last waiting one is merged";
    EXPECT_TRUE(keys.Push(2, "Enter")) << "another display has a queue of its own";
    auto events = keys.Take(start);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].display, 1);
    EXPECT_EQ(events[0].key, "Down");
    EXPECT_EQ(events[1].display, 2);
    taken += 1;
    for (auto at = start + KeyEvents::kGap; !keys.empty(); at += KeyEvents::kGap) {
        events = keys.Take(at);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].display, 1);
        ++taken;
        ASSERT_LE(taken, KeyEvents::kMostWaiting);
    }
    EXPECT_EQ(taken, KeyEvents::kMostWaiting);
    EXPECT_EQ(events.back().presses, 2) << "the last Up and the one merged into it";
    keys.Push(3, "F1");
    keys.Forget(3);
    EXPECT_TRUE(keys.empty());
}

} // namespace
