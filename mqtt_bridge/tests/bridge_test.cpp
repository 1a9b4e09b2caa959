// SPDX-License-Identifier: MIT
// pixtera-mqtt between a service of the test's own (a file display, bus data and MQTT data) and a
// broker of the test's own: discovery and values at start, a change published once, values of
// another machine coming back through Pixtera.MqttData, Home Assistant's commands reaching the
// display, nonsense ignored with a line (ten a minute at most), a command too long dropped with
// one line, and "offline" when the bridge ends or is killed. A CA file that is a FIFO ends the
// bridge at once, saying why. A broker that goes away at the worst moment is a fake one, the bridge
// in the test's own process.

#include "bridge.h"
#include "bridge_options.h"
#include "child_process.h"
#include "private_bus.h"
#include "test_broker.h"
#include "test_environment.h"
#include "test_fifo.h"

#include <pixtera/remote/bus_names.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>
#include <unistd.h>

namespace {

using namespace pixtera;
using namespace pixtera::test;
using nlohmann::json;
using namespace std::chrono_literals;

class Bridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = InstallProgramCopy("pixtera2");
        for (const char* module : {"FileDisplay.so", "BusData.so", "MqttData.so"})
            ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / module));
        ASSERT_TRUE(RegisterTestModule("test-recording-display.so"));
        ASSERT_EQ(RunProgram({program.string(), "-RegServer"}), 0);
        std::ofstream(design) << R"(<Design UpdateFreq="100"><DisplayItems><DisplayItem>)"
                                 R"(<Position X="0" Y="0" Width="20" Height="1"/><Appearance Mode="Static"/>)"
                                 R"(<Data Mode="Data" Name="message"/></DisplayItem></DisplayItems></Design>)";
        StartService(Displays());
    }

    // Display 1 switches its backlight and dims; display 2 has neither.
    std::vector<std::string> Displays() const
    {
        return {FileDisplay(frames), R"(<driver clsid="PixteraTest.RecordingDisplay" )"
                                     R"(configuration="columns=20;rows=4"><display active="yes"/></driver>)"};
    }

    void TearDown() override
    {
        if (bridge && HasFailure())
            std::cerr << "The bridge said:\n" << bridge->output();
        bridge.reset();
        StopService();
    }

    std::string FileDisplay(const std::filesystem::path& path) const
    {
        return "<driver clsid=\"Pixtera.FileDisplay\" configuration=\"path=" + path.string() +
               "\"><display active=\"yes\"><queue><queueitem Filename=\"" + design.string() +
               "\" Runtime=\"0\"/></queue></display></driver>";
    }

    void StartService(const std::vector<std::string>& displays)
    {
        std::ofstream configuration(TestDirectory() / "bin" / "pixtera2.xml");
        configuration << "<PixteraConfiguration><drivers>";
        for (const auto& display : displays)
            configuration << display;
        configuration
            << "<driver clsid=\"Pixtera.BusData\" configuration=\"names=message,load,status,Temp.Out,temp_out\"><data "
               "active=\"yes\"/></driver><driver clsid=\"Pixtera.MqttData\" configuration=\"port="
            << broker.port() << ";topics=remote/#\"><data active=\"yes\"/></driver></drivers></PixteraConfiguration>";
        configuration.close();
        service = std::make_unique<ChildProcess>(std::vector<std::string>{program.string()});
        ASSERT_TRUE(service->WaitForOutput("Service started")) << service->output();
    }

    void StopService()
    {
        if (!service)
            return;
        service->Signal(SIGTERM);
        service->Wait();
        if (HasFailure())
            std::cerr << "The service said:\n" << service->output();
        service.reset();
    }

    void StartBridge(const std::string& publish = "load,remote/temp", const std::vector<std::string>& more = {})
    {
        std::vector<std::string> argv{(ProgramDirectory() / "pixtera-mqtt").string(), "--port",
                                      std::to_string(broker.port()), "--publish", publish};
        argv.insert(argv.end(), more.begin(), more.end());
        bridge = std::make_unique<ChildProcess>(argv);
        ASSERT_TRUE(bridge->WaitForOutput("publishing as pixtera/")) << bridge->output();
        const auto start = bridge->output().find("pixtera/") + 8;
        machine = bridge->output().substr(start, bridge->output().find(' ', start) - start);
        // A bridge before this one may have left "offline" retained.
        ASSERT_TRUE(Eventually([&] {
            return broker.Watch("pixtera/" + machine + "/status", 1, 1) ==
                   std::vector<std::string>{"pixtera/" + machine + "/status online"};
        })) << bridge->output();
        // The node: the machine's name and its key's first digits.
        const auto text = broker.Watch("homeassistant/text/+/message/config", 1);
        ASSERT_EQ(text.size(), 1u);
        node = text[0].substr(std::string("homeassistant/text/").size());
        node = node.substr(0, node.find('/'));
        ASSERT_TRUE(node.starts_with("pixtera_" + machine + "_")) << node;
    }

    // "topic payload" lines as topic -> JSON.
    static std::map<std::string, json> Configs(const std::vector<std::string>& lines)
    {
        std::map<std::string, json> configs;
        for (const auto& line : lines)
            configs[line.substr(0, line.find(' '))] = json::parse(line.substr(line.find(' ') + 1));
        return configs;
    }

    bool Retained(const std::string& topic, const std::string& payload) const
    {
        return Eventually([&] { return broker.Watch(topic, 1, 1) == std::vector<std::string>{topic + " " + payload}; });
    }

    void SetValue(const std::string& name, const sdbus::Variant& value)
    {
        auto connection = sdbus::createSessionBusConnection();
        auto feed = sdbus::createProxy(*connection, bus::kServiceName, bus::kFeedPath);
        feed->callMethod("SetValue").onInterface(bus::kDataFeed).withArguments(name, value);
    }

    bool DisplayLogHas(const std::string& text) const { return FileText(frames).find(text) != std::string::npos; }

    PrivateBus sessionBus;
    TestBroker broker;
    std::filesystem::path program;
    std::filesystem::path design = TestDirectory() / "message.pxd";
    std::filesystem::path frames = TestDirectory() / "frames.jsonl";
    std::unique_ptr<ChildProcess> service;
    std::unique_ptr<ChildProcess> bridge;
    std::string machine;
    std::string node;
};

TEST_F(Bridge, AnnouncesEveryValueAndDisplayAndPublishesAChangeOnce)
{
    StartBridge();
    // The load, the message; display 1's light and keys; each display's notifications, three
    // descriptions, three traffic sensors, its link, its select and its four lines.
    const auto configs = broker.Watch("homeassistant/#", 31, 3);
    ASSERT_EQ(configs.size(), 30u) << "remote/temp is not an item before its first message";
    const std::map<std::string, json> announced = Configs(configs);
    const std::string id = node;
    const json& load = announced.at("homeassistant/sensor/" + id + "/load/config");
    EXPECT_EQ(load["state_topic"], "pixtera/" + machine + "/load");
    EXPECT_EQ(load["availability_topic"], "pixtera/" + machine + "/status");
    const json machineDevice = load["device"];
    ASSERT_EQ(machineDevice["identifiers"].size(), 1u);
    const std::string machineId = machineDevice["identifiers"][0];
    EXPECT_TRUE(machineId.starts_with("pixtera_") && machineId.find(machine) == std::string::npos)
        << machineId << ": from the machine's key, not its name";
    const json& light = announced.at("homeassistant/light/" + id + "/display_1/config");
    EXPECT_EQ(light["command_topic"], "pixtera/" + machine + "/display/1/backlight/set");
    EXPECT_EQ(light["brightness_command_topic"], "pixtera/" + machine + "/display/1/brightness/set")
        << "a file display records brightness too";
    EXPECT_TRUE(announced.contains("homeassistant/text/" + id + "/message/config"));

    std::set<std::string> uniqueIds;
    for (const auto& [topic, config] : announced) {
        for (const char* key : {"name", "unique_id", "object_id", "device"})
            EXPECT_TRUE(config.contains(key)) << topic << " has no " << key;
        uniqueIds.insert(config["unique_id"].get<std::string>());
    }
    EXPECT_EQ(uniqueIds.size(), announced.size()) << "every unique_id unique";
    for (int display : {1, 2}) {
        const std::string base = "pixtera/" + machine + "/display/" + std::to_string(display);
        const json& notify =
            announced.at("homeassistant/notify/" + id + "/display_" + std::to_string(display) + "/config");
        EXPECT_EQ(notify["command_topic"], base + "/notify");
        EXPECT_EQ(notify["device"]["via_device"], machineId);
        EXPECT_EQ(notify["device"]["identifiers"], json::array({machineId + "_display_" + std::to_string(display)}));
        EXPECT_EQ(notify["availability_mode"], "all");
        ASSERT_EQ(notify["availability"].size(), 2u);
        EXPECT_EQ(notify["availability"][0]["topic"], "pixtera/" + machine + "/status");
        EXPECT_EQ(notify["availability"][1]["topic"], base + "/available");
        EXPECT_TRUE(Retained(base + "/available", "online"));
        for (const char* what : {"driver", "size", "output"}) {
            const json& sensor = announced.at("homeassistant/sensor/" + id + "/display_" + std::to_string(display) +
                                              "-" + what + "/config");
            EXPECT_EQ(sensor["state_topic"], base + "/" + what);
            EXPECT_EQ(sensor["entity_category"], "diagnostic");
            EXPECT_EQ(sensor["device"], notify["device"]);
            EXPECT_EQ(sensor["availability"], notify["availability"]);
        }
    }
    EXPECT_EQ(light["device"], announced.at("homeassistant/notify/" + id + "/display_1/config")["device"])
        << "the light is its display's";
    EXPECT_TRUE(Retained("pixtera/" + machine + "/display/1/driver", "File display"));
    EXPECT_TRUE(Retained("pixtera/" + machine + "/display/2/size", "20x4"));
    EXPECT_TRUE(Retained("pixtera/" + machine + "/display/1/output", "queue"));

    auto watcher = broker.StartWatching("pixtera/" + machine + "/load", 3, 3);
    SetValue("load", sdbus::Variant(42.5));
    std::this_thread::sleep_for(200ms);
    SetValue("load", sdbus::Variant(42.5));
    const auto lines = watcher.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "pixtera/" + machine + "/load 42.5"), 1)
        << ::testing::PrintToString(lines);

    // Another machine's value: into this service by Pixtera.MqttData, out again by the bridge.
    auto remote = broker.StartWatching("pixtera/" + machine + "/remote/temp", 1, 5);
    broker.Publish("remote/temp", "21.5");
    EXPECT_EQ(remote.Lines(), std::vector<std::string>{"pixtera/" + machine + "/remote/temp 21.5"});
    EXPECT_EQ(broker.Watch("homeassistant/sensor/" + node + "/remote-2ftemp/config", 1).size(), 1u)
        << "announced as it came";
}

TEST_F(Bridge, ADisplayWithKeysIsAnEventEntityAndAKeyWrittenToItsKeysFileArrivesAsAnEvent)
{
    StartBridge();
    const std::map<std::string, json> events = Configs(broker.Watch("homeassistant/event/#", 2, 2));
    ASSERT_EQ(events.size(), 1u) << "display 2 has no keys";
    const json& keys = events.at("homeassistant/event/" + node + "/display_1/config");
    const json notify = Configs(broker.Watch("homeassistant/notify/" + node + "/display_1/config", 1))
                            .at("homeassistant/notify/" + node + "/display_1/config");
    for (const char* required : {"name", "unique_id", "state_topic", "event_types", "device", "availability"})
        EXPECT_TRUE(keys.contains(required)) << required;
    const std::string base = "pixtera/" + machine + "/display/1";
    EXPECT_EQ(keys["state_topic"], base + "/key");
    EXPECT_EQ(keys["device"], notify["device"]);
    EXPECT_EQ(keys["availability"], notify["availability"]);
    EXPECT_EQ(keys["availability_mode"], "all");
    EXPECT_NE(keys["unique_id"], notify["unique_id"]);
    ASSERT_TRUE(keys["event_types"].is_array());
    EXPECT_NE(std::find(keys["event_types"].begin(), keys["event_types"].end(), "Enter"), keys["event_types"].end());

    auto watcher = broker.StartWatching(base + "/key", 2, 10);
    std::ofstream(frames.string() + ".keys") << "Enter\nraw:0x41\nnonsense\n";
    EXPECT_EQ(watcher.Lines(), (std::vector<std::string>{base + R"(/key {"event_type":"Enter"})",
                                                         base + R"(/key {"event_type":"Raw","code":"0x41"})"}));
    EXPECT_TRUE(broker.Watch(base + "/key", 1, 1).empty()) << "an event is not retained";
}

TEST_F(Bridge, ADisplaysLedsAreEntitiesWhoseCommandsSetThemAndNonsenseIsIgnored)
{
    StopService();
    StartService({FileDisplay(frames), R"(<driver clsid="PixteraTest.RecordingDisplay" )"
                                       R"(configuration="columns=20;rows=4;leds=2"><display active="yes"/></driver>)"});
    StartBridge();
    const std::map<std::string, json> selects = Configs(broker.Watch("homeassistant/select/#", 4, 4));
    const std::map<std::string, json> switches = Configs(broker.Watch("homeassistant/switch/#", 2, 2));
    const std::string base = "pixtera/" + machine + "/display/2";
    const std::string select = "homeassistant/select/" + node + "/display_2_led_1/config";
    const std::string toggle = "homeassistant/switch/" + node + "/display_2_led_2/config";
    ASSERT_TRUE(selects.contains(select)) << "the LED of colours";
    EXPECT_EQ(selects.size(), 3u) << "two displays' screens and one LED";
    ASSERT_EQ(switches.size(), 1u) << "the on-off LED, and none on display 1";
    ASSERT_TRUE(switches.contains(toggle));
    EXPECT_EQ(selects.at(select)["options"], json::array({"off", "green", "red", "amber"}));
    EXPECT_EQ(selects.at(select)["command_topic"], base + "/led/1/set");
    EXPECT_EQ(switches.at(toggle)["state_topic"], base + "/led/2");
    EXPECT_TRUE(Retained(base + "/led/1", "off"));
    EXPECT_TRUE(Retained(base + "/led/2", "OFF"));

    broker.Publish(base + "/led/1/set", "amber");
    broker.Publish(base + "/led/2/set", "ON");
    EXPECT_TRUE(Retained(base + "/led/1", "amber")) << "as the service says once it is set";
    EXPECT_TRUE(Retained(base + "/led/2", "ON"));

    broker.Publish(base + "/led/1/set", "on");
    EXPECT_TRUE(bridge->WaitForOutput("ignored \"on\" on " + base + "/led/1/set: the LED shows only off, green"));
    broker.Publish(base + "/led/3/set", "ON");
    EXPECT_TRUE(bridge->WaitForOutput("the display has no such LED (it has 2)"));
    broker.Publish("pixtera/" + machine + "/display/1/led/1/set", "ON");
    EXPECT_TRUE(bridge->WaitForOutput("/display/1/led/1/set: the display has no such LED (it has 0)"));
    broker.Publish(base + "/led/1/set", "red");
    EXPECT_TRUE(Retained(base + "/led/1", "red")) << "commands after the refused ones are carried out";
    EXPECT_EQ(bridge->output().find("does not answer"), std::string::npos) << "a refusal is no outage";
}

TEST_F(Bridge, ADisplaysTrafficIsPublishedWhenItChangesAndAStaticScreenPublishesNothingMore)
{
    StartBridge();
    const std::string base = "pixtera/" + machine + "/display/1";
    const auto sensors = Configs(broker.Watch("homeassistant/sensor/" + node + "/+/config", 15, 2));
    for (const char* what : {"frames", "bytes", "bus_time"}) {
        const std::string topic = "homeassistant/sensor/" + node + "/display_1-" + what + "/config";
        ASSERT_TRUE(sensors.contains(topic)) << topic;
        const json& sensor = sensors.at(topic);
        for (const char* required :
             {"name", "unique_id", "state_topic", "device", "availability", "unit_of_measurement"})
            EXPECT_TRUE(sensor.contains(required)) << what << " has no " << required;
        EXPECT_EQ(sensor["state_topic"], base + "/" + what);
        EXPECT_EQ(sensor["entity_category"], "diagnostic");
    }
    // The display writes a frame for each message: while they come the rate is published (at
    // most once a period), and once they stop, the still screen.
    int written = 0;
    std::string rate;
    ASSERT_TRUE(Eventually(
        [&] {
            SetValue("message", sdbus::Variant("frame " + std::to_string(++written)));
            const auto lines = broker.Watch(base + "/frames", 1, 1);
            rate = lines.empty() ? "" : lines[0].substr(lines[0].find(' ') + 1);
            return !rate.empty() && rate != "0";
        },
        4 * pixtera::bridge::kTrafficPeriod))
        << rate;
    EXPECT_GT(std::stoi(rate), 0);
    EXPECT_TRUE(Retained(base + "/frames", "0"));
    EXPECT_TRUE(Retained(base + "/bytes", "0")) << "a file display measures no link";
    EXPECT_TRUE(Retained(base + "/bus_time", "0"));

    // Still: a value the display does not show changes, and no traffic is published.
    auto still = broker.StartWatching("pixtera/" + machine + "/display/+/+", 100, 4);
    auto load = broker.StartWatching("pixtera/" + machine + "/load", 1, 5);
    SetValue("load", sdbus::Variant(3.0));
    ASSERT_EQ(load.Lines(), std::vector<std::string>{"pixtera/" + machine + "/load 3"});
    std::vector<std::string> traffic;
    for (const auto& line : still.Lines())
        for (const char* what : {"/frames ", "/bytes ", "/bus_time "})
            if (line.find(what) != std::string::npos)
                traffic.push_back(line);
    // Only the retained states the watch found when it subscribed: one a sensor, two displays.
    EXPECT_EQ(traffic.size(), 6u) << ::testing::PrintToString(traffic);
}

TEST_F(Bridge, ADisplayWhoseLinkIsLostIsOfflineItsLinkSensorSaysSinceWhenAndBothComeBack)
{
    // A file display's link is its frame file: lost while its directory is away, found so by the
    // frames written (a still screen sends nothing that could find it gone), so its text moves.
    const auto directory = TestDirectory() / "screen";
    const auto away = TestDirectory() / "screen-away";
    std::filesystem::create_directories(directory);
    design = TestDirectory() / "scroller.pxd";
    std::ofstream(design)
        << R"(<Design UpdateFreq="200"><DisplayItems><DisplayItem>)"
           R"(<Position X="0" Y="0" Width="20" Height="1"/><Appearance Mode="RightToLeft" ScrollDelay="200"/>)"
           R"(<Data Mode="Static" Text="0123456789"/></DisplayItem></DisplayItems></Design>)";
    StopService();
    StartService({FileDisplay(directory / "frames.jsonl")});
    StartBridge();
    const std::string base = "pixtera/" + machine + "/display/1";
    const std::string status = "pixtera/" + machine + "/status";
    const std::string topic = "homeassistant/sensor/" + node + "/display_1-link/config";
    const auto configs = Configs(broker.Watch(topic, 1));
    ASSERT_TRUE(configs.contains(topic));
    const json& link = configs.at(topic);
    const json notify = Configs(broker.Watch("homeassistant/notify/" + node + "/display_1/config", 1))
                            .at("homeassistant/notify/" + node + "/display_1/config");
    for (const char* required : {"name", "unique_id", "state_topic", "device", "availability_topic"})
        EXPECT_TRUE(link.contains(required)) << required;
    EXPECT_EQ(link["state_topic"], base + "/link");
    EXPECT_EQ(link["json_attributes_topic"], base + "/link/attributes");
    EXPECT_EQ(link["entity_category"], "diagnostic");
    EXPECT_EQ(link["device"], notify["device"]);
    EXPECT_EQ(link["availability_topic"], status) << "readable while the display is not";
    EXPECT_TRUE(Retained(base + "/available", "online"));
    EXPECT_TRUE(Retained(base + "/link", "connected"));
    EXPECT_TRUE(Retained(base + "/link/attributes", R"({"outage_since":null})"));

    const auto Seconds = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    const auto before = Seconds();
    std::filesystem::rename(directory, away);
    EXPECT_TRUE(Retained(base + "/available", "offline"));
    EXPECT_TRUE(Retained(base + "/link", "outage"));
    const auto after = Seconds();
    const auto attributes = broker.Watch(base + "/link/attributes", 1, 1);
    ASSERT_EQ(attributes.size(), 1u);
    const std::string since = attributes[0].substr(attributes[0].find(' ') + 1);
    bool within = false;
    for (auto second = before; second <= after; ++second)
        within = within || since == pixtera::bridge::LinkAttributesPayload(second);
    EXPECT_TRUE(within) << since << ": the outage's start, between " << before << " and " << after;
    EXPECT_TRUE(Retained(status, "online")) << "the machine stays available";
    EXPECT_TRUE(service->WaitForOutput("cannot be written")) << "the service says so";

    std::filesystem::rename(away, directory);
    EXPECT_TRUE(Retained(base + "/available", "online"));
    EXPECT_TRUE(Retained(base + "/link", "connected"));
    EXPECT_TRUE(Retained(base + "/link/attributes", R"({"outage_since":null})"));
}

TEST_F(Bridge, ItemsNamedLikeTheBridgesTopicsOrAlikeButForCaseAndPunctuationKeepTopicsOfTheirOwn)
{
    StartBridge("status,message,Temp.Out,temp_out");
    const std::string base = "pixtera/" + machine;
    SetValue("Temp.Out", sdbus::Variant(1.5));
    SetValue("temp_out", sdbus::Variant(2.5));
    SetValue("message", sdbus::Variant(std::string("from a script")));
    SetValue("status", sdbus::Variant(std::string("broken")));
    // Each value as it is once the second of its first publication is over.
    const auto retained = [&](const std::string& topic, const std::string& payload) {
        return Eventually([&] { return broker.Watch(topic, 1, 1) == std::vector<std::string>{topic + " " + payload}; });
    };
    EXPECT_TRUE(retained(base + "/_status", "broken"));
    EXPECT_TRUE(retained(base + "/_message", "from a script"));
    EXPECT_TRUE(retained(base + "/Temp.Out", "1.5"));
    EXPECT_TRUE(retained(base + "/temp_out", "2.5"));
    EXPECT_EQ(broker.Watch(base + "/status", 1), std::vector<std::string>{base + "/status online"})
        << "the device stays available";
    EXPECT_TRUE(broker.Watch(base + "/message", 1, 1).empty()) << "the text entity's state is the bridge's alone";

    const auto configs = broker.Watch("homeassistant/sensor/" + node + "/+/config", 19, 2);
    std::set<std::string> topics, uniqueIds, stateTopics;
    for (const auto& line : configs) {
        const json config = json::parse(line.substr(line.find(' ') + 1));
        if (config.contains("entity_category"))
            continue; // a display's
        topics.insert(line.substr(0, line.find(' ')));
        uniqueIds.insert(config["unique_id"].get<std::string>());
        stateTopics.insert(config["state_topic"].get<std::string>());
    }
    EXPECT_EQ(stateTopics,
              (std::set<std::string>{base + "/_status", base + "/_message", base + "/Temp.Out", base + "/temp_out"}));
    EXPECT_EQ(topics.size(), 4u) << ::testing::PrintToString(configs);
    EXPECT_EQ(uniqueIds.size(), 4u) << ::testing::PrintToString(configs);
}

TEST_F(Bridge, HomeAssistantsCommandsReachTheDisplayAndNonsenseIsIgnored)
{
    StartBridge();
    broker.Publish("pixtera/" + machine + "/message/set", "Washing done");
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas(R"("frame":"Washing done)"); }))
        << "a design shows what was sent";
    EXPECT_EQ(broker.Watch("pixtera/" + machine + "/message", 1),
              std::vector<std::string>{"pixtera/" + machine + "/message Washing done"});

    broker.Publish("pixtera/" + machine + "/display/1/backlight/set", "OFF");
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas(R"("op":"SetBacklight","on":false)"); }));
    EXPECT_TRUE(Eventually([&] {
        return broker.Watch("pixtera/" + machine + "/display/1/backlight", 1, 1) ==
               std::vector<std::string>{"pixtera/" + machine + "/display/1/backlight OFF"};
    }));

    broker.Publish("pixtera/" + machine + "/display/1/backlight/set", "maybe");
    broker.Publish("pixtera/" + machine + "/display/7/backlight/set", "ON");
    EXPECT_TRUE(bridge->WaitForOutput("ignored \"maybe\" on pixtera/" + machine +
                                      "/display/1/backlight/set: ON or OFF was expected"));
    EXPECT_TRUE(bridge->WaitForOutput("/display/7/backlight/set: there is no such display"));
    EXPECT_FALSE(DisplayLogHas(R"("op":"SetBacklight","on":true)"));
}

std::string Repeated(std::string_view text, int times)
{
    std::string repeated;
    for (int i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

TEST_F(Bridge, AMessageIsCutBetweenTwoCharactersAndOneThatIsNoTextIsRefusedWithTheReason)
{
    StartBridge();
    const std::string topic = "pixtera/" + machine + "/message/set";
    const std::string state = "pixtera/" + machine + "/message";
    broker.Publish(topic, Repeated("\u00e9", 200)); // 400 bytes
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas("\"frame\":\"" + Repeated("\u00e9", 20)); }));
    EXPECT_EQ(broker.Watch(state, 1), std::vector<std::string>{state + " " + Repeated("\u00e9", 200)});

    broker.Publish(topic, Repeated("\u00e9", 300));
    EXPECT_TRUE(Eventually([&] {
        return broker.Watch(state, 1, 1) == std::vector<std::string>{state + " " + Repeated("\u00e9", 255)};
    })) << "255 characters, as the text entity says";

    broker.Publish(topic, "caf\xc3");
    broker.Publish(topic, "after it");
    EXPECT_TRUE(bridge->WaitForOutput(" on " + topic + ": the message is not UTF-8 text"));
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas(R"("frame":"after it)"); }));
    EXPECT_EQ(bridge->output().find("does not answer"), std::string::npos) << "the service answered all along";
}

TEST_F(Bridge, ADisplayWithoutABacklightToSwitchIsNoLightAndItsRefusalIsNoOutage)
{
    StartBridge();
    const std::string base = "pixtera/" + machine;
    EXPECT_EQ(broker.Watch("homeassistant/light/#", 2, 2).size(), 1u) << "display 1's light alone";
    EXPECT_EQ(broker.Watch(base + "/display/+/backlight", 2, 2),
              std::vector<std::string>{base + "/display/1/backlight ON"})
        << "no state for a display that has no switch";

    broker.Publish(base + "/display/2/backlight/set", "OFF");
    broker.Publish(base + "/message/set", "after the refusal");
    EXPECT_TRUE(bridge->WaitForOutput("ignored \"OFF\" on " + base +
                                      "/display/2/backlight/set: the display's driver has no backlight to switch"));
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas(R"("frame":"after the refusal)"); }))
        << "the commands after a refusal are carried out";
    EXPECT_EQ(bridge->output().find("does not answer"), std::string::npos) << "a refusal is no outage";
    EXPECT_EQ(broker.Watch(base + "/display/+/backlight", 2, 2),
              std::vector<std::string>{base + "/display/1/backlight ON"});
}

TEST_F(Bridge, ACommandWhileTheServiceIsAwayIsCarriedOutWhenItIsBack)
{
    StartBridge();
    StopService();
    broker.Publish("pixtera/" + machine + "/message/set", "while it was away");
    ASSERT_TRUE(bridge->WaitForOutput("the service does not answer"));
    EXPECT_TRUE(Retained("pixtera/" + machine + "/display/1/available", "offline")) << "its displays with it";
    StartService(Displays());
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas(R"("frame":"while it was away)"); }));
    EXPECT_TRUE(Retained("pixtera/" + machine + "/display/1/available", "online"));
    EXPECT_TRUE(bridge->WaitForOutput("the service answers again"));
    const std::string& output = bridge->output();
    EXPECT_EQ(output.find("does not answer"), output.rfind("does not answer")) << "one line for the outage";
}

TEST_F(Bridge, ACommandTooLongIsDroppedWithOneLine)
{
    StartBridge();
    const std::string topic = "pixtera/" + machine + "/message/set";
    broker.Publish(topic, std::string(2000, 'x'));
    broker.Publish(topic, std::string(2000, 'x'));
    broker.Publish(topic, "short");
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas(R"("frame":"short)"); }));
    EXPECT_FALSE(DisplayLogHas("xxxxxxxxxx"));
    const std::string said = "a command of 2000 bytes on " + topic + " is dropped (at most 1024 bytes)";
    ASSERT_TRUE(bridge->WaitForOutput(said));
    const std::string& output = bridge->output();
    EXPECT_EQ(output.find(said), output.rfind(said)) << "once for the two";
}

TEST_F(Bridge, NonsenseCommandsAsFastAsTheyComeAreNotEachALine)
{
    StartBridge();
    const std::string base = "pixtera/" + machine;
    // Topics of their own each, so that none waits in place of another.
    for (int display = 100; display < 130; ++display)
        broker.Publish(base + "/display/" + std::to_string(display) + "/backlight/set", "ON");
    broker.Publish(base + "/message/set", "after the nonsense");
    ASSERT_TRUE(Eventually([&] { return DisplayLogHas(R"("frame":"after the nonsense)"); }));
    ASSERT_TRUE(bridge->WaitForOutput("more ignored commands this minute are not said"));
    const std::string& output = bridge->output();
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = output.find("there is no such display", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_GE(lines, 1u) << output;
    EXPECT_LE(lines, 10u) << output;
}

// Every config the bridge announces on `node` for `items` and displays 1 to `displays`, each of
// which switches its backlight and has keys (file displays).
std::set<std::string> Announced(const std::string& node, const std::vector<std::string>& items, int displays)
{
    const std::string base = "homeassistant/";
    std::set<std::string> topics{base + "text/" + node + "/message/config"};
    for (const auto& item : items)
        topics.insert(base + "sensor/" + node + "/" + item + "/config");
    for (int n = 1; n <= displays; ++n) {
        const std::string display = "display_" + std::to_string(n);
        topics.insert(base + "light/" + node + "/" + display + "/config");
        topics.insert(base + "notify/" + node + "/" + display + "/config");
        topics.insert(base + "select/" + node + "/" + display + "_screen/config");
        for (int row = 1; row <= 4; ++row)
            topics.insert(base + "text/" + node + "/" + display + "_line_" + std::to_string(row) + "/config");
        topics.insert(base + "event/" + node + "/" + display + "/config");
        for (const char* what : {"driver", "size", "output", "frames", "bytes", "bus_time", "link"})
            topics.insert(base + "sensor/" + node + "/" + display + "-" + what + "/config");
    }
    return topics;
}

TEST_F(Bridge, AtStartTheConfigsOfDisplaysAndItemsThatWentAwayAndOfTheLayoutsBeforeOnceAreCleared)
{
    const auto configs = [&] {
        std::set<std::string> topics;
        for (const auto& line : broker.Watch("homeassistant/#", 40, 2))
            topics.insert(line.substr(0, line.find(' ')));
        return topics;
    };
    char hostname[256] = {};
    gethostname(hostname, sizeof hostname - 1);
    const std::string named = "pixtera_" + bridge::TopicMachineName(hostname);
    // The layouts before: a node named after the host alone, and no node at all; and another
    // machine's.
    const std::string oldNode = "homeassistant/light/" + named + "/display_1/config";
    const std::string noNode = "homeassistant/light/" + named + "_display_1/config";
    const std::string another = "homeassistant/sensor/" + named + "_2/load/config";
    for (const auto& topic : {oldNode, noNode, another})
        broker.Publish(topic, R"({"name":"Display 1"})", true);

    // The first run: two displays, two items; the old layouts go.
    StopService();
    StartService({FileDisplay(frames), FileDisplay(TestDirectory() / "frames-2.jsonl")});
    StartBridge("load,Temp.Out");
    auto first = Announced(node, {"load", "Temp-2eOut"}, 2);
    first.insert(another);
    EXPECT_EQ(configs(), first);
    bridge->Signal(SIGTERM);
    EXPECT_EQ(bridge->Wait(), 0);

    // A host of a name alike on an old version ("my.nas" beside "my_nas") announces on the old node.
    broker.Publish(oldNode, R"({"name":"Display 1"})", true);

    // The second: one display, one item. The old node is not this machine's any more.
    StopService();
    StartService({FileDisplay(frames)});
    StartBridge("load");
    auto second = Announced(node, {"load"}, 1);
    second.insert(another);
    second.insert(oldNode);
    EXPECT_EQ(configs(), second);
    EXPECT_TRUE(bridge->WaitForOutput("cleared 16 discovery configs of displays and items it no longer has"))
        << "Temp.Out, and display 2's light, notifications, keys, descriptions, traffic, link, select and lines";
}

TEST_F(Bridge, ANotificationReachesItsDisplayAGroupOrAllAndNeverAnotherMachinesOwn)
{
    const auto second = TestDirectory() / "frames-2.jsonl";
    StopService();
    StartService({FileDisplay(frames), FileDisplay(second)});
    StartBridge("load", {"--group", "pair:1,2", "--group", "upstairs:2"});
    const std::string base = "pixtera/" + machine;
    const auto shows = [&](const std::filesystem::path& log, const std::string& text) {
        return FileText(log).find("\"frame\":\"" + text) != std::string::npos;
    };
    const auto brief = [](const std::string& text) { return R"({"message":")" + text + R"(","duration":1})"; };

    broker.Publish("pixtera/elsewhere/display/1/notify", brief("Not ours"));
    broker.Publish(base + "/display/2/notify", brief("For two"));
    EXPECT_TRUE(Eventually([&] { return shows(second, "For two"); }));
    EXPECT_TRUE(Retained(base + "/display/2/output", "notification"));
    EXPECT_TRUE(Retained(base + "/display/2/output", "queue")) << "its own queue again after a second";

    broker.Publish("pixtera/group/upstairs/notify", brief("Upstairs"));
    EXPECT_TRUE(Eventually([&] { return shows(second, "Upstairs"); }));
    broker.Publish("pixtera/group/pair/notify", brief("Both of us"));
    EXPECT_TRUE(Eventually([&] { return shows(frames, "Both of us") && shows(second, "Both of us"); }));
    broker.Publish("pixtera/group/nobody/notify", brief("No such group"));
    broker.Publish("pixtera/all/notify", brief("Everyone"));
    EXPECT_TRUE(Eventually([&] { return shows(frames, "Everyone") && shows(second, "Everyone"); }));

    EXPECT_FALSE(shows(frames, "For two") || shows(frames, "Upstairs")) << "display 1 is in neither";
    for (const auto& log : {frames, second})
        EXPECT_FALSE(shows(log, "Not ours") || shows(log, "No such group"));

    broker.Publish(base + "/display/9/notify", "Nine");
    broker.Publish(base + "/display/1/notify", R"({"message":"x","priority":"urgent"})");
    EXPECT_TRUE(bridge->WaitForOutput("ignored \"Nine\" on " + base + "/display/9/notify: there is no such display"));
    EXPECT_TRUE(bridge->WaitForOutput("/display/1/notify: \"priority\" is neither info nor alert"));
}

TEST_F(Bridge, ADisplaysSelectShowsTheDesignChosenAndFollowsItsQueue)
{
    const auto clock = TestDirectory() / "clock.pxd";
    std::ofstream(clock) << R"(<Design><DisplayItems><DisplayItem>)"
                            R"(<Position X="0" Y="0" Width="20" Height="1"/><Appearance Mode="Static"/>)"
                            R"(<Data Mode="Static" Text="Clock face"/></DisplayItem></DisplayItems></Design>)";
    StopService();
    StartService({"<driver clsid=\"Pixtera.FileDisplay\" configuration=\"path=" + frames.string() +
                  "\"><display active=\"yes\"><queue><queueitem Filename=\"" + design.string() +
                  "\" Runtime=\"0\"/><queueitem Filename=\"" + clock.string() +
                  "\" Runtime=\"0\"/></queue></display></driver>"});
    StartBridge("load", {"--screen-hold", "1"});
    const std::string base = "pixtera/" + machine + "/display/1/screen";
    const std::string configTopic = "homeassistant/select/" + node + "/display_1_screen/config";
    const auto options = [&] {
        const auto configs = Configs(broker.Watch(configTopic, 1, 1));
        return configs.empty() ? json() : configs.begin()->second["options"];
    };
    EXPECT_EQ(options(), json::array({"message", "clock"}));
    EXPECT_TRUE(Retained(base, "message")) << "the first design, held";

    broker.Publish(base + "/set", "clock");
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas(R"("frame":"Clock face)"); })) << "shown at once";
    EXPECT_TRUE(Retained(base, "clock"));
    EXPECT_TRUE(Retained(base, "message")) << "after the hold the queue goes on: to the held first design";

    // One at a time: only the newest command of a topic waits.
    for (const std::string& wrong : std::vector<std::string>{"Clock", "/etc/passwd", clock.string(), ""}) {
        broker.Publish(base + "/set", wrong);
        EXPECT_TRUE(bridge->WaitForOutput("ignored \"" + wrong + "\" on " + base +
                                          "/set: the display's queue has no design of that name"));
    }
    EXPECT_TRUE(Retained(base, "message"));

    // The queue edited over the bus: its options again, as they are now.
    auto connection = sdbus::createSessionBusConnection();
    auto display = sdbus::createProxy(*connection, bus::kServiceName, bus::DisplayPath(0));
    display->callMethod("StopOutput").onInterface(bus::kManagedDisplay);
    display->callMethod("AddQueueItem").onInterface(bus::kManagedDisplay).withArguments(clock.string(), int32_t{5});
    display->callMethod("DeleteQueueItem").onInterface(bus::kManagedDisplay).withArguments(int32_t{0});
    display->callMethod("StartOutput").onInterface(bus::kManagedDisplay);
    EXPECT_TRUE(Eventually([&] { return options() == json::array({"clock", "clock 2"}); })) << options().dump();
    EXPECT_TRUE(Retained(base, "clock"));
    broker.Publish(base + "/set", "clock 2");
    EXPECT_TRUE(Retained(base, "clock 2"));
}

TEST_F(Bridge, ARetainedLayoutSwitchesTheQueueAndOneNamingAnythingElseChangesNothing)
{
    const auto folder = TestDirectory() / "designs";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "rain.pxd")
        << R"(<Design><DisplayItems><DisplayItem>)"
           R"(<Position X="0" Y="0" Width="20" Height="1"/><Appearance Mode="Static"/>)"
           R"(<Data Mode="Static" Text="Rain coming"/></DisplayItem></DisplayItems></Design>)";
    std::ofstream(TestDirectory() / "outside.pxd")
        << R"(<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="20" Height="1"/>)"
           R"(<Appearance Mode="Static"/><Data Mode="Static" Text="Outside file"/></DisplayItem></DisplayItems></Design>)";
    StopService();
    StartService({FileDisplay(frames)});
    broker.Publish("pixtera/" + bridge::TopicMachineName([] {
                       char hostname[256] = {};
                       gethostname(hostname, sizeof hostname - 1);
                       return std::string(hostname);
                   }()) +
                       "/layout",
                   R"(["rain", "message"])", true);
    StartBridge("load", {"--layout", "yes", "--designs", folder.string()});
    const std::string topic = "pixtera/" + machine + "/layout";
    const std::string configTopic = "homeassistant/select/" + node + "/display_1_screen/config";
    const auto options = [&] {
        const auto configs = Configs(broker.Watch(configTopic, 1, 1));
        return configs.empty() ? json() : configs.begin()->second["options"];
    };
    EXPECT_TRUE(Eventually([&] { return DisplayLogHas(R"("frame":"Rain coming)"); }))
        << "retained before the bridge started: its queue at once";
    EXPECT_TRUE(Eventually([&] { return options() == json::array({"rain", "message"}); })) << options().dump();
    EXPECT_TRUE(Retained("pixtera/" + machine + "/display/1/screen", "rain"));

    // One at a time: only the newest command of a topic waits.
    const std::pair<std::string, std::string> hostile[] = {
        {R"(["../outside"])", "display 1 has no design \"../outside\" in its queue or the designs folder"},
        {R"(["rain", "/etc/passwd"])", "display 1 has no design \"/etc/passwd\" in its queue or the designs folder"},
        {R"({"1": ["rain"]})", "a layout is a JSON list of design names"},
    };
    for (const auto& [payload, why] : hostile) {
        broker.Publish(topic, payload, true);
        EXPECT_TRUE(bridge->WaitForOutput("on " + topic + ": " + why)) << payload;
    }
    broker.Publish(topic, R"(["message"])", true);
    EXPECT_TRUE(Eventually([&] { return options() == json::array({"message"}); }))
        << "a name of the queue as it is now; nothing refused changed it: " << options().dump();
    EXPECT_FALSE(DisplayLogHas("Outside file")) << "no design outside the folder was ever shown";
}

TEST_F(Bridge, ALayoutOfLongNamesIsTakenWholeUpToItsMostDesigns)
{
    const auto folder = TestDirectory() / "designs";
    std::filesystem::create_directories(folder);
    std::vector<std::string> names;
    json layout = json::array();
    for (int n = 0; n < 20; ++n) {
        names.push_back(std::string(58, 'a' + static_cast<char>(n)) + "-sign");
        std::ofstream(folder / (names.back() + ".pxd"))
            << R"(<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="20" Height="1"/>)"
               R"(<Appearance Mode="Static"/><Data Mode="Static" Text="Sign"/></DisplayItem></DisplayItems></Design>)";
        layout.push_back(names.back());
    }
    ASSERT_GT(layout.dump().size(), 1024u) << "longer than any other command";
    StopService();
    StartService({FileDisplay(frames)});
    StartBridge("load", {"--layout", "yes", "--designs", folder.string()});
    broker.Publish("pixtera/" + machine + "/layout", layout.dump(), true);
    const std::string configTopic = "homeassistant/select/" + node + "/display_1_screen/config";
    EXPECT_TRUE(Eventually([&] {
        const auto configs = Configs(broker.Watch(configTopic, 1, 1));
        return !configs.empty() && configs.begin()->second["options"] == json(names);
    })) << bridge->output();
}

TEST_F(Bridge, ALayoutTheServiceRefusesLeavesTheDisplayRunning)
{
    StopService();
    StartService({FileDisplay(frames)});
    StartBridge("load", {"--layout", "yes"});
    std::filesystem::remove(TestDirectory() / "bin" / "pixtera2.xml"); // queue edits are refused now
    const std::string topic = "pixtera/" + machine + "/layout";
    auto connection = sdbus::createSessionBusConnection();
    auto display = sdbus::createProxy(*connection, bus::kServiceName, bus::DisplayPath(0));
    const auto running = [&] {
        bool on = false;
        display->callMethod("IsRunning").onInterface(bus::kManagedDisplay).storeResultsTo(on);
        return on;
    };
    ASSERT_TRUE(running());
    broker.Publish(topic, R"(["message", "message"])", true);
    EXPECT_TRUE(bridge->WaitForOutput("on " + topic + ": pixtera2.xml could not be written")) << "the refusal, said";
    EXPECT_TRUE(running()) << "started again after the refused edit";
}

TEST_F(Bridge, ALineOfTheMessageBoardIsSetAloneAndShowsOverTheQueueUntilEmptied)
{
    StartBridge();
    const std::string base = "pixtera/" + machine + "/display/1";
    EXPECT_TRUE(Retained(base + "/output", "queue"));
    broker.Publish(base + "/line/2/set", "Door open");
    EXPECT_TRUE(Eventually([&] {
        return DisplayLogHas(R"("frame":")" + std::string(20, ' ') + "Door open" + std::string(11 + 40, ' ') + "\"");
    })) << "line 2 alone, lines 1, 3 and 4 blank";
    EXPECT_TRUE(Retained(base + "/line/2", "Door open"));
    EXPECT_TRUE(Retained(base + "/output", "notification"));

    broker.Publish(base + "/line/1/set", "Garage: a very long line indeed");
    EXPECT_TRUE(Retained(base + "/line/1", "Garage: a very long "));
    EXPECT_TRUE(Eventually([&] {
        return DisplayLogHas(R"("frame":"Garage: a very long Door open)" + std::string(11 + 40, ' ') + "\"");
    })) << "cut to the display's width; line 2 as it was";

    broker.Publish(base + "/line/5/set", "Nowhere");
    broker.Publish(base + "/line/0/set", "Nowhere");
    EXPECT_TRUE(
        bridge->WaitForOutput("ignored \"Nowhere\" on " + base + "/line/5/set: the display has no such line (1 to 4)"));
    EXPECT_FALSE(DisplayLogHas("Nowhere"));

    broker.Publish(base + "/line/1/set", "");
    broker.Publish(base + "/line/2/set", "");
    EXPECT_TRUE(Retained(base + "/output", "queue")) << "an empty board gives the display back";
}

TEST_F(Bridge, HomeAssistantOnlineAgainHasEveryConfigAndStatePublishedAgain)
{
    StartBridge("load");
    const std::string pattern = "homeassistant/+/" + node + "/+/config";
    const auto retained = broker.Watch(pattern, 32, 2);
    // load, message; per display notify, seven diagnostics, a select and four lines; one light,
    // one display's keys
    ASSERT_EQ(retained.size(), 30u);
    // Room for a third of each: the watch ends after its seconds with what came.
    auto again = broker.StartWatching(pattern, static_cast<int>(3 * retained.size()), 4);
    auto availability = broker.StartWatching("pixtera/" + machine + "/display/+/available", 4, 10);
    broker.Publish("homeassistant/status", "offline");
    broker.Publish("homeassistant/status", "online");
    std::map<std::string, int> times;
    for (const auto& line : again.Lines())
        ++times[line.substr(0, line.find(' '))];
    ASSERT_EQ(times.size(), retained.size());
    for (const auto& [topic, count] : times)
        EXPECT_EQ(count, 2) << topic << ": the retained one, and once more";
    EXPECT_EQ(availability.Lines().size(), 4u) << "each display's, retained and again";
}

// A broker the test makes come and go: it takes what is published while it is there, and goes
// away right after the first publish of a connection when asked to.
class ComingAndGoingBroker {
public:
    struct Published {
        std::string topic;
        std::string payload;
        bool taken = false;
    };

    bridge::BrokerFactory Factory()
    {
        return [this](const mqtt::ConnectionSettings&, mqtt::ConnectionHandlers handlers) {
            handlers_ = std::move(handlers);
            return std::make_unique<Link>(*this);
        };
    }
    void Connect(bool goAwayAfterFirstPublish)
    {
        {
            std::lock_guard lock(mutex_);
            connected_ = true;
            goAway_ = goAwayAfterFirstPublish;
        }
        handlers_.connected();
    }
    // A retained message, as a subscription brings it.
    void Deliver(const std::string& topic, const std::string& payload) { handlers_.message({topic, payload, true}); }
    bool Saw(const std::string& topic, const std::string& payload, bool taken) const
    {
        std::lock_guard lock(mutex_);
        return std::any_of(published_.begin(), published_.end(), [&](const Published& p) {
            return p.topic == topic && p.payload == payload && p.taken == taken;
        });
    }

private:
    class Link final : public bridge::BrokerLink {
    public:
        explicit Link(ComingAndGoingBroker& broker) : broker_(broker) {}
        void Subscribe(const std::string&) override {}
        void Unsubscribe(const std::string&) override {}
        bool Publish(const std::string& topic, std::string_view payload, bool) override
        {
            std::lock_guard lock(broker_.mutex_);
            const bool taken = broker_.connected_;
            broker_.published_.push_back({topic, std::string(payload), taken});
            if (std::exchange(broker_.goAway_, false))
                broker_.connected_ = false;
            return taken;
        }

    private:
        ComingAndGoingBroker& broker_;
    };

    mqtt::ConnectionHandlers handlers_; // set before the bridge's thread starts
    mutable std::mutex mutex_; // guards the three below
    bool connected_ = false;
    bool goAway_ = false;
    std::vector<Published> published_;
};

TEST_F(Bridge, StaleConfigsTheBrokerWasAwayForAreClearedAfterItComesBack)
{
    ComingAndGoingBroker fake;
    bridge::BridgeOptions options;
    options.publish = {"load"};
    options.machine = "box";
    options.key = "00112233445566778899aabbccddeeff";
    bridge::Bridge inProcess(options, {fake.Factory(), std::chrono::milliseconds(50)});
    std::thread running([&] { inProcess.Run(); });
    const bridge::Topics topics("box", options.key);
    const std::string stale = topics.SensorConfigTopic("gone");
    const std::string live = topics.SensorConfigTopic("load");

    // The configs of an earlier run come; the broker goes right after the marker went out, and
    // stays away until the wait for the marker is over and the bridge announced in vain.
    fake.Deliver(stale, R"({"name":"gone"})");
    fake.Deliver(live, R"({"name":"load"})");
    fake.Connect(true);
    EXPECT_TRUE(Eventually([&] { return fake.Saw(topics.Status(), "online", false); }));
    EXPECT_TRUE(fake.Saw(stale, "", false)) << "the stale config was to be cleared while the broker was away";

    fake.Connect(false);
    EXPECT_TRUE(Eventually([&] { return fake.Saw(topics.Status(), "online", true); }));
    EXPECT_TRUE(Eventually([&] { return fake.Saw(stale, "", true); })) << "the stale config stays for the whole run";
    EXPECT_FALSE(fake.Saw(live, "", true)) << "an announced config is never cleared";
    inProcess.Stop();
    running.join();
}

TEST_F(Bridge, OfflineWhenItEndsAndWhenItIsKilled)
{
    StartBridge();
    bridge->Signal(SIGTERM);
    EXPECT_EQ(bridge->Wait(), 0);
    EXPECT_EQ(broker.Watch("pixtera/" + machine + "/status", 1),
              std::vector<std::string>{"pixtera/" + machine + "/status offline"});

    StartBridge();
    bridge->Signal(SIGKILL);
    bridge->Wait();
    EXPECT_EQ(broker.Watch("pixtera/" + machine + "/status", 1),
              std::vector<std::string>{"pixtera/" + machine + "/status offline"})
        << "the broker's last will";
}

TEST(BridgeProgram, ACaFileThatIsAFifoEndsItAtOnceSayingWhy)
{
    PrivateBus sessionBus;
    TestFifo fifo("bridge-ca");
    ChildProcess bridge(
        {(ProgramDirectory() / "pixtera-mqtt").string(), "--port", "1", "--tls-ca", fifo.path().string()});
    EXPECT_EQ(bridge.WaitFor(30000), 2) << "30 s only tell a hang: " << bridge.output();
    EXPECT_NE(bridge.output().find("CA file " + fifo.path().string() + " is not a regular file"), std::string::npos)
        << bridge.output();
}

// The unique names of the connections of process `pid`.
std::vector<std::string> ConnectionsOf(sdbus::IConnection& connection, pid_t pid)
{
    auto daemon = sdbus::createProxy(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
    std::vector<std::string> names;
    daemon->callMethod("ListNames").onInterface("org.freedesktop.DBus").storeResultsTo(names);
    std::vector<std::string> owned;
    for (const auto& name : names) {
        if (name.rfind(':', 0) != 0)
            continue;
        std::uint32_t process = 0;
        daemon->callMethod("GetConnectionUnixProcessID")
            .onInterface("org.freedesktop.DBus")
            .withArguments(name)
            .storeResultsTo(process);
        if (static_cast<pid_t>(process) == pid)
            owned.push_back(name);
    }
    return owned;
}

TEST_F(Bridge, ASignalOfOtherTypesAddressedToTheBridgeIsSaidOnceAndChangesStillFlow)
{
    StartBridge();
    // Addressed to the bridge, a signal passes its match on the service's name whoever sends it.
    auto stranger = sdbus::createSessionBusConnection();
    auto object = sdbus::createObject(*stranger, bus::kDataManagerPath);
    const auto bridgeConnections = ConnectionsOf(*stranger, bridge->pid());
    ASSERT_FALSE(bridgeConnections.empty());
    for (int twice = 0; twice < 2; ++twice) {
        for (const auto& destination : bridgeConnections) {
            auto signal = object->createSignal(bus::kDataCollection, "ValuesChanged");
            signal.setDestination(destination);
            signal << std::string("not ids");
            signal.send();
        }
    }
    auto watcher = broker.StartWatching("pixtera/" + machine + "/load", 2, 3); // the retained one, and the change
    SetValue("load", sdbus::Variant(7.5));
    const auto lines = watcher.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "pixtera/" + machine + "/load 7.5"), lines.end())
        << ::testing::PrintToString(lines);
    const std::string said = "pixtera-mqtt: dropped ValuesChanged from " + stranger->getUniqueName();
    ASSERT_TRUE(bridge->WaitForOutput(said));
    const std::string& output = bridge->output();
    EXPECT_EQ(output.find(said), output.rfind(said)) << "once\n" << output;
}

TEST_F(Bridge, AKeyPressedThatIsNoKeyOrOfOtherTypesIsDroppedAndSaidOnceAndRealKeysStillArrive)
{
    StartBridge();
    auto stranger = sdbus::createSessionBusConnection();
    auto object = sdbus::createObject(*stranger, bus::DisplayPath(0));
    const auto bridgeConnections = ConnectionsOf(*stranger, bridge->pid());
    ASSERT_FALSE(bridgeConnections.empty());
    const std::string base = "pixtera/" + machine + "/display/1";
    auto watcher = broker.StartWatching(base + "/key", 1, 10);
    for (int twice = 0; twice < 2; ++twice) {
        for (const auto& destination : bridgeConnections) {
            auto wrongType = object->createSignal(bus::kDisplayInput, "KeyPressed");
            wrongType.setDestination(destination);
            wrongType << std::int32_t{1};
            wrongType.send();
            auto noKey = object->createSignal(bus::kDisplayInput, "KeyPressed");
            noKey.setDestination(destination);
            noKey << std::string("Launch the missiles");
            noKey.send();
        }
    }
    std::ofstream(frames.string() + ".keys") << "F3\n";
    EXPECT_EQ(watcher.Lines(), std::vector<std::string>{base + R"(/key {"event_type":"F3"})"});
    const std::string said = "pixtera-mqtt: dropped KeyPressed from " + stranger->getUniqueName();
    ASSERT_TRUE(bridge->WaitForOutput(said));
    const std::string& output = bridge->output();
    EXPECT_EQ(output.find(said), output.rfind(said)) << "once\n" << output;
}

TEST_F(Bridge, AKeyPressedFromAnyoneButTheServiceIsNoKeyOfTheDisplay)
{
    StartBridge();
    // Well formed and addressed to the bridge: it passes the match on the service's name.
    auto stranger = sdbus::createSessionBusConnection();
    auto object = sdbus::createObject(*stranger, bus::DisplayPath(0));
    const auto bridgeConnections = ConnectionsOf(*stranger, bridge->pid());
    ASSERT_FALSE(bridgeConnections.empty());
    const std::string base = "pixtera/" + machine + "/display/1";
    auto watcher = broker.StartWatching(base + "/key", 1, 10);
    for (const auto& destination : bridgeConnections) {
        auto forged = object->createSignal(bus::kDisplayInput, "KeyPressed");
        forged.setDestination(destination);
        forged << std::string("Escape");
        forged.send();
    }
    std::ofstream(frames.string() + ".keys") << "F3\n";
    EXPECT_EQ(watcher.Lines(), std::vector<std::string>{base + R"(/key {"event_type":"F3"})"});
    EXPECT_TRUE(bridge->WaitForOutput("pixtera-mqtt: dropped KeyPressed from " + stranger->getUniqueName()));
}

TEST_F(Bridge, AMenuEventFromAnyoneButTheServiceIsNeverPublished)
{
    StartBridge();
    auto stranger = sdbus::createSessionBusConnection();
    auto object = sdbus::createObject(*stranger, bus::DisplayPath(0));
    const auto bridgeConnections = ConnectionsOf(*stranger, bridge->pid());
    ASSERT_FALSE(bridgeConnections.empty());
    const std::string base = "pixtera/" + machine + "/display/1";
    auto menu = broker.StartWatching(base + "/menu", 1, 3);
    auto keys = broker.StartWatching(base + "/key", 1, 10);
    for (const auto& destination : bridgeConnections) {
        auto forged = object->createSignal(bus::kDisplayInput, "MenuEvent");
        forged.setDestination(destination);
        forged << std::string("garage.open");
        forged.send();
    }
    ASSERT_TRUE(bridge->WaitForOutput("pixtera-mqtt: dropped MenuEvent from " + stranger->getUniqueName()));
    std::ofstream(frames.string() + ".keys") << "F3\n";
    EXPECT_EQ(keys.Lines(), std::vector<std::string>{base + R"(/key {"event_type":"F3"})"}) << "the bridge goes on";
    EXPECT_TRUE(menu.Lines().empty());
    EXPECT_TRUE(broker.Watch("homeassistant/event/+/display_1_menu/config", 1, 1).empty())
        << "no name was learnt from it";
}

} // namespace
