// SPDX-License-Identifier: MIT
// pixtera-mqtt's parts: its options (command line over --config) and the files they name, the
// machine's name in topics, Home Assistant's discovery messages field by field, the once-a-second
// throttle, the bounded queue of commands, the message's text, a batch of commands that goes on
// past a refusal and stops at an outage, item names on the broker, and what is learned of the
// configs of earlier runs, within bounds.

#include "bridge_options.h"
#include "captured_log.h"
#include "command_batch.h"
#include "command_queue.h"
#include "discovery.h"
#include "earlier_configs.h"
#include "ignored_commands.h"
#include "item_names.h"
#include "message_text.h"
#include "publish_throttle.h"
#include "test_environment.h"
#include "test_fifo.h"

#include <pixtera/remote/bus_wire.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <set>

namespace {

using namespace pixtera::bridge;
using namespace std::chrono_literals;
using nlohmann::json;

ParsedOptions Parse(std::vector<std::string> arguments) { return ParseBridgeOptions(arguments, "Desk-PC.local"); }

TEST(BridgeOptions, CommandLineOverAConfigFileAndErrorsThatSayWhat)
{
    const auto dir = pixtera::test::TestDirectory();
    std::ofstream(dir / "mqtt.conf")
        << "# the NAS's broker\nhost = nas.lan\nport=8883\npublish=CPU.Total, GPU.0.Temperature\n"
           "username=desk\npassword_file="
        << (dir / "secret").string() << "\n";
    std::ofstream(dir / "secret") << "hunter2\n";
    const auto parsed = Parse({"--config", (dir / "mqtt.conf").string(), "--port", "1884"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const BridgeOptions& options = *parsed.options;
    EXPECT_EQ(options.broker.host, "nas.lan");
    EXPECT_EQ(options.broker.port, 1884) << "the command line wins";
    EXPECT_EQ(options.publish, (std::vector<std::string>{"CPU.Total", "GPU.0.Temperature"}));
    EXPECT_EQ(options.broker.username, "desk");
    EXPECT_EQ(options.broker.password, "hunter2");
    EXPECT_EQ(options.machine, "desk-pc_local");
    ASSERT_TRUE(options.broker.will);
    EXPECT_EQ(options.broker.will->topic, "pixtera/desk-pc_local/status");
    EXPECT_EQ(options.broker.will->payload, "offline");
    EXPECT_TRUE(options.broker.will->retained);

    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_EQ(Parse({"--port", "99999"}).error, "port \"99999\" is not a port number (1 to 65535)");
    EXPECT_EQ(Parse({"--password", "x"}).error, "unknown option --password (see --help)")
        << "never on the command line";
    EXPECT_EQ(Parse({"--host"}).error, "--host needs a value");
    std::ofstream(dir / "bad.conf") << "host=a\nrun=rm -rf /\n";
    EXPECT_EQ(Parse({"--config", (dir / "bad.conf").string()}).error,
              (dir / "bad.conf").string() +
                  " line 2: \"run=rm -rf /\" is not one of host=, port=, publish=, username=, "
                  "password_file=, tls_ca=");
    EXPECT_NE(Parse({"--password-file", (dir / "none").string()}).error.find("cannot be opened"), std::string::npos);
    EXPECT_EQ(Parse({}).options->publish, (std::vector<std::string>{"CPU.Total", "Memory.UsedPercent"}));
    EXPECT_EQ(TopicMachineName("NAS 2/Ä"), "nas_2___") << "each byte outside [a-z0-9_-]";
}

TEST(BridgeOptions, EveryFileItNamesIsARegularFileOfItsOwnCheckedWithoutWaiting)
{
    const auto dir = pixtera::test::TestDirectory();
    pixtera::test::TestFifo fifo("bridge-fifo");
    const std::string path = fifo.path().string();
    std::vector<std::string> errors;
    EXPECT_TRUE(fifo.Returns([&] {
        for (const char* option : {"--tls-ca", "--config", "--password-file"})
            errors.push_back(Parse({option, path}).error);
    })) << "the signal thread does not exist yet";
    EXPECT_EQ(errors,
              (std::vector<std::string>{"CA file " + path + " is not a regular file", path + " is not a regular file",
                                        "password file " + path + " is not a regular file"}));

    std::ofstream(dir / "ca.pem") << "-----BEGIN CERTIFICATE-----\n";
    std::filesystem::create_symlink(dir / "ca.pem", dir / "ca-link.pem");
    EXPECT_EQ(Parse({"--tls-ca", (dir / "ca-link.pem").string()}).error,
              "CA file " + (dir / "ca-link.pem").string() + " is a symbolic link");
    EXPECT_EQ(Parse({"--tls-ca", (dir / "none.pem").string()}).error,
              "CA file " + (dir / "none.pem").string() + " cannot be opened: No such file or directory")
        << "no connection at all rather than one without TLS";
    std::ofstream(dir / "tls.conf") << "tls_ca=" << path << "\n";
    EXPECT_EQ(Parse({"--config", (dir / "tls.conf").string()}).error, "CA file " + path + " is not a regular file");
    const auto parsed = Parse({"--tls-ca", (dir / "ca.pem").string()});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->broker.tlsCa, (dir / "ca.pem").string());
}

TEST(BridgeDiscovery, EveryEntityNamesItsTopicsDeviceAndAvailability)
{
    const Topics topics("nas");
    EXPECT_EQ(topics.Value("Disk./srv.UsedPercent"), "pixtera/nas/Disk./srv.UsedPercent");
    EXPECT_EQ(topics.SensorConfigTopic("Disk./srv.UsedPercent"),
              "homeassistant/sensor/pixtera_nas/Disk-2e-2fsrv-2eUsedPercent/config");

    const json sensor = json::parse(topics.SensorConfig("CPU.Total"));
    EXPECT_EQ(sensor["name"], "CPU.Total");
    EXPECT_EQ(sensor["unique_id"], "pixtera_nas_CPU-2eTotal");
    EXPECT_EQ(sensor["object_id"], "pixtera_nas_cpu_total") << "the entity's readable name, as before";
    EXPECT_EQ(sensor["state_topic"], "pixtera/nas/CPU.Total");
    EXPECT_EQ(sensor["availability_topic"], "pixtera/nas/status");
    EXPECT_EQ(sensor["payload_available"], "online");
    EXPECT_EQ(sensor["payload_not_available"], "offline");
    EXPECT_EQ(sensor["device"]["identifiers"], json::array({"pixtera_nas"}));
    EXPECT_EQ(sensor["device"]["name"], "Pixtera on nas");

    const json light = json::parse(topics.LightConfig(2, true));
    EXPECT_EQ(topics.LightConfigTopic(2), "homeassistant/light/pixtera_nas/display_2/config");
    EXPECT_EQ(light["unique_id"], "pixtera_nas_display_2");
    EXPECT_EQ(light["command_topic"], "pixtera/nas/display/2/backlight/set");
    EXPECT_EQ(light["state_topic"], "pixtera/nas/display/2/backlight");
    EXPECT_EQ(light["payload_on"], "ON");
    EXPECT_EQ(light["brightness_command_topic"], "pixtera/nas/display/2/brightness/set");
    EXPECT_EQ(light["brightness_scale"], 100);
    EXPECT_FALSE(json::parse(topics.LightConfig(1, false)).contains("brightness_command_topic"))
        << "only where it dims";
    EXPECT_EQ(light["device"], sensor["device"]) << "one device per machine";

    const json text = json::parse(topics.TextConfig());
    EXPECT_EQ(topics.TextConfigTopic(), "homeassistant/text/pixtera_nas/message/config");
    EXPECT_EQ(text["unique_id"], "pixtera_nas_message");
    EXPECT_EQ(text["max"], 255);

    // Every config of the machine under one pattern, and where earlier versions put them.
    EXPECT_EQ(topics.ConfigPattern(), "homeassistant/+/pixtera_nas/+/config");
    EXPECT_EQ(topics.FormerSensorConfigTopic("CPU.Total"), "homeassistant/sensor/pixtera_nas_cpu_total/config");
    EXPECT_EQ(topics.FormerLightConfigTopic(2), "homeassistant/light/pixtera_nas_display_2/config");
    EXPECT_EQ(topics.FormerTextConfigTopic(), "homeassistant/text/pixtera_nas_message/config");
    EXPECT_EQ(text["command_topic"], "pixtera/nas/message/set");
    EXPECT_EQ(text["state_topic"], "pixtera/nas/message");
}

// The way back from a value's topic name to the item's name.
std::string NameOfValueTopic(std::string_view topic)
{
    if (topic.starts_with('_'))
        topic.remove_prefix(1);
    std::string name;
    for (std::size_t at = 0; at < topic.size(); ++at) {
        if (topic[at] == '%') {
            name += static_cast<char>(std::stoi(std::string(topic.substr(at + 1, 2)), nullptr, 16));
            at += 2;
        } else {
            name += topic[at];
        }
    }
    return name;
}

// The way back from an item's object id to the item's name.
std::string NameOfObjectId(std::string_view id)
{
    std::string name;
    for (std::size_t at = 0; id != "-" && at < id.size(); ++at) {
        if (id[at] == '-') {
            name += static_cast<char>(std::stoi(std::string(id.substr(at + 1, 2)), nullptr, 16));
            at += 2;
        } else {
            name += id[at];
        }
    }
    return name;
}

// Names that a sloppy mapping would merge: case, punctuation, the bridge's own levels, escapes.
const std::vector<std::string> kAwkwardNames{"Temp.Out",
                                             "temp_out",
                                             "Temp_Out",
                                             "temp.out",
                                             "temp-out",
                                             "temp out",
                                             "temp/out",
                                             "TEMP.OUT",
                                             "temp-2eout",
                                             "Temp-2eOut",
                                             "status",
                                             "_status",
                                             "__status",
                                             "message",
                                             "message/set",
                                             "_message",
                                             "display/1/backlight",
                                             "display/1/backlight/set",
                                             "display",
                                             "_display/1",
                                             "Status",
                                             "x/status",
                                             "odd+name#",
                                             "odd_name_",
                                             "odd%2Bname%23",
                                             "50%",
                                             "a\tb",
                                             "a b",
                                             "",
                                             "_",
                                             "/",
                                             "/status",
                                             "\u00e9t\u00e9",
                                             "caf\xc3",
                                             "\xc2\x85",
                                             "\xef\xbf\xbe",
                                             "\xff",
                                             "Disk./srv.UsedPercent",
                                             "CPU.Total",
                                             "cpu_total",
                                             "cpu-total"};

TEST(ItemNames, NoValueLandsOnATopicOfTheBridgesOwn)
{
    const Topics topics("nas");
    const std::vector<std::string> own{topics.Status(),
                                       topics.Message(),
                                       topics.Message() + "/set",
                                       topics.Backlight(1),
                                       topics.Backlight(1) + "/set",
                                       topics.Brightness(1) + "/set"};
    for (const auto& name : kAwkwardNames) {
        const std::string value = topics.Value(name);
        for (const auto& topic : own)
            EXPECT_NE(value, topic) << ::testing::PrintToString(name);
        for (const auto reserved : kReservedLevels) {
            const std::string level = "pixtera/nas/" + std::string(reserved);
            EXPECT_FALSE(value == level || value.starts_with(level + "/")) << ::testing::PrintToString(name);
        }
    }
    EXPECT_EQ(topics.Value("status"), "pixtera/nas/_status");
    EXPECT_EQ(topics.Value("message/set"), "pixtera/nas/_message/set");
    EXPECT_EQ(topics.Value("display/1/backlight/set"), "pixtera/nas/_display/1/backlight/set");
    EXPECT_EQ(topics.Value("_status"), "pixtera/nas/__status") << "else it would be status's";
    EXPECT_EQ(topics.Value("Status"), "pixtera/nas/Status") << "topics tell case apart";
    EXPECT_EQ(topics.Value("x/status"), "pixtera/nas/x/status") << "only the first level is the bridge's";
    EXPECT_EQ(topics.Value("Disk./srv.UsedPercent"), "pixtera/nas/Disk./srv.UsedPercent") << "as before";
    EXPECT_EQ(topics.Value("\u00e9t\u00e9 \u20ac"), "pixtera/nas/\u00e9t\u00e9 \u20ac");
    EXPECT_EQ(topics.Value("odd+name#"), "pixtera/nas/odd%2Bname%23") << "no wildcard in a topic";
    EXPECT_EQ(topics.Value("50%"), "pixtera/nas/50%25");
    EXPECT_EQ(topics.Value("a\tb\xc2\x85"), "pixtera/nas/a%09b%C2%85") << "controls, which brokers refuse";
    EXPECT_EQ(topics.Value("\xef\xbf\xbf"), "pixtera/nas/%EF%BF%BF") << "a non-character";
}

TEST(ItemNames, EachNameHasATopicAndIdsOfItsOwn)
{
    const Topics topics("nas");
    std::set<std::string> values, configs, uniqueIds;
    for (const auto& name : kAwkwardNames) {
        const std::string topicName = ValueTopicName(name);
        EXPECT_EQ(NameOfValueTopic(topicName), name) << topicName;
        const std::string id = ItemObjectId(name);
        EXPECT_EQ(NameOfObjectId(id), name) << id;
        EXPECT_FALSE(id.empty());
        EXPECT_EQ(id.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-"),
                  std::string::npos)
            << id << ": what a discovery topic's level may hold";
        values.insert(topics.Value(name));
        configs.insert(topics.SensorConfigTopic(name));
        uniqueIds.insert(json::parse(topics.SensorConfig(name))["unique_id"].get<std::string>());
    }
    EXPECT_EQ(values.size(), kAwkwardNames.size());
    EXPECT_EQ(configs.size(), kAwkwardNames.size());
    EXPECT_EQ(uniqueIds.size(), kAwkwardNames.size());

    EXPECT_EQ(ItemObjectId("temp_out"), "temp_out") << "a name of letters, digits and _ is its own id";
    EXPECT_EQ(ItemObjectId("Temp.Out"), "Temp-2eOut");
    EXPECT_EQ(ItemObjectId("temp-out"), "temp-2dout");
    EXPECT_EQ(ItemObjectId(""), "-");
    EXPECT_EQ(json::parse(topics.SensorConfig("Temp.Out"))["object_id"],
              json::parse(topics.SensorConfig("temp_out"))["object_id"])
        << "the readable entity name may be shared: Home Assistant numbers the second";
}

TEST(PublishThrottle, AtMostOnceASecondAndOnlyTheNewestOfTheWait)
{
    PublishThrottle throttle;
    const auto start = PublishThrottle::Clock::now();
    EXPECT_TRUE(throttle.Offer("a", "1", start));
    EXPECT_FALSE(throttle.Offer("a", "1", start + 2s)) << "the broker has it";
    EXPECT_TRUE(throttle.Offer("a", "2", start + 3s));
    EXPECT_FALSE(throttle.Offer("a", "3", start + 3s + 100ms));
    EXPECT_FALSE(throttle.Offer("a", "4", start + 3s + 200ms));
    EXPECT_EQ(throttle.NextDue(), start + 4s);
    EXPECT_TRUE(throttle.Due(start + 3s + 900ms).empty());
    EXPECT_EQ(throttle.Due(start + 4s), (std::map<std::string, std::string>{{"a", "4"}}));
    EXPECT_FALSE(throttle.NextDue());
    EXPECT_FALSE(throttle.Offer("a", "5", start + 4s + 100ms));
    EXPECT_FALSE(throttle.Offer("a", "4", start + 4s + 200ms)) << "back to what was sent: nothing waits";
    EXPECT_FALSE(throttle.NextDue());
    throttle.Forget();
    EXPECT_TRUE(throttle.Offer("a", "4", start + 4s + 300ms)) << "a new broker connection hears everything";
}

pixtera::mqtt::Message Command(const std::string& topic, std::string payload)
{
    return {topic, std::move(payload), false};
}

TEST(CommandQueue, OnlyTheNewestOfEachTopicWaitsAndNothingLarge)
{
    CommandQueue queue;
    int said = 0;
    const auto push = [&](const pixtera::mqtt::Message& command) { said += queue.Push(command).has_value(); };
    for (int i = 0; i < 400; ++i)
        push(Command("pixtera/nas/message/set", std::string(1024 * 1024, 'x')));
    EXPECT_TRUE(queue.empty()) << "a megabyte is no command";
    for (int i = 0; i < 400; ++i)
        push(Command("pixtera/nas/message/set", "text " + std::to_string(i)));
    push(Command("pixtera/nas/display/1/backlight/set", "ON"));
    auto waiting = queue.Take();
    ASSERT_EQ(waiting.size(), 2u);
    EXPECT_EQ(waiting[0].payload, "text 399");
    EXPECT_EQ(waiting[1].payload, "ON");
    EXPECT_EQ(said, 1) << "once for the whole flood";

    for (int display = 1; display <= 100; ++display)
        push(Command("pixtera/nas/display/" + std::to_string(display) + "/backlight/set", "OFF"));
    waiting = queue.Take();
    ASSERT_EQ(waiting.size(), CommandQueue::kMostTopics);
    EXPECT_EQ(waiting.back().topic, "pixtera/nas/display/100/backlight/set") << "the oldest went";
    EXPECT_EQ(said, 1) << "the flood went on until that Take";

    // Taken while the service went away: they wait again, unless a newer one of their topic came.
    queue.Take();
    push(Command("pixtera/nas/message/set", "newer"));
    EXPECT_FALSE(queue.Return(
        {Command("pixtera/nas/display/1/backlight/set", "OFF"), Command("pixtera/nas/message/set", "older")}));
    waiting = queue.Take();
    ASSERT_EQ(waiting.size(), 2u);
    EXPECT_EQ(waiting[0].payload, "OFF") << "the older first";
    EXPECT_EQ(waiting[1].payload, "newer");
    std::deque<pixtera::mqtt::Message> many;
    for (int display = 1; display <= 40; ++display)
        many.push_back(Command("pixtera/nas/display/" + std::to_string(display) + "/backlight/set", "ON"));
    push(Command("pixtera/nas/message/set", "newest"));
    EXPECT_TRUE(queue.Return(many)) << "dropping is said";
    waiting = queue.Take();
    ASSERT_EQ(waiting.size(), CommandQueue::kMostTopics);
    EXPECT_EQ(waiting.back().payload, "newest") << "the oldest went";

    queue.Take(); // nothing dropped since the last one: the next drop is news
    const auto notice = queue.Push(Command("pixtera/nas/message/set", std::string(2000, 'y')));
    ASSERT_TRUE(notice);
    EXPECT_EQ(*notice, "a command of 2000 bytes on pixtera/nas/message/set is dropped (at most 1024 bytes); this is "
                       "said once while it goes on");
}

std::string Repeated(std::string_view text, int times)
{
    std::string repeated;
    for (int i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

TEST(IgnoredCommands, AtMostTenLinesAMinuteAndTheNextSaysHowManyWereNot)
{
    using pixtera::bridge::IgnoredCommands;
    IgnoredCommands ignored;
    const auto start = IgnoredCommands::Clock::now();
    for (std::size_t n = 1; n < IgnoredCommands::kMostSaid; ++n)
        EXPECT_EQ(ignored.Say("nonsense", start), "nonsense");
    EXPECT_EQ(ignored.Say("nonsense", start + std::chrono::seconds(30)),
              "nonsense (more ignored commands this minute are not said)");
    for (int n = 0; n < 1000; ++n)
        EXPECT_FALSE(ignored.Say("nonsense", start + std::chrono::seconds(59)));
    EXPECT_EQ(ignored.Say("later", start + IgnoredCommands::kPeriod),
              "later (1000 more commands were ignored without a line)");
    EXPECT_EQ(ignored.Say("after it", start + IgnoredCommands::kPeriod), "after it");
}

TEST(MessageText, CutAfter255CharactersNeverInsideOne)
{
    const std::string accents = Repeated("\u00e9", 200); // 400 bytes
    EXPECT_EQ(ReadMessageText(accents).text, accents) << "200 characters are within the limit";
    EXPECT_EQ(ReadMessageText(Repeated("\u00e9", 300)).text, Repeated("\u00e9", 255));
    EXPECT_EQ(ReadMessageText("a" + Repeated("\u20ac", 300)).text, "a" + Repeated("\u20ac", 254))
        << "characters of one to three bytes count one each";
    EXPECT_EQ(ReadMessageText(Repeated("\U0001F600", 256)).text, Repeated("\U0001F600", 255));
    EXPECT_EQ(ReadMessageText("Washing\tdone\n").text, "Washing done ");
    EXPECT_TRUE(ReadMessageText("Washing done").refused.empty());

    for (const std::string bad : {"\xff\xfe", "caf\xc3", "\xed\xa0\x80 surrogate", "\xc0\xaf overlong"}) {
        const auto message = ReadMessageText(bad);
        EXPECT_EQ(message.refused, "the message is not UTF-8 text") << ::testing::PrintToString(bad);
        EXPECT_TRUE(message.text.empty());
    }
}

TEST(CommandBatch, ARefusalIsSaidWithItsReasonAndTheNextGoesOnAnOutageEndsTheBatch)
{
    using Step = std::function<void()>;
    std::vector<std::string> refusals;
    int carried = 0;
    std::deque<pixtera::mqtt::Message> commands;
    const auto run = [&](const std::vector<Step>& steps) {
        refusals.clear();
        carried = 0;
        commands.clear();
        for (std::size_t i = 0; i < steps.size(); ++i)
            commands.push_back(Command("pixtera/nas/display/" + std::to_string(i + 1) + "/backlight/set", "OFF"));
        CarryOut(
            commands, [&](const pixtera::mqtt::Message&) { steps.at(static_cast<std::size_t>(carried++))(); },
            [&](const pixtera::mqtt::Message& command, const std::string& why) {
                refusals.push_back(command.topic + ": " + why);
            });
    };
    const Step fine = [] {};

    run({[] { throw pixtera::wire::ErrorFor(E_NOTIMPL, "the display's driver has no backlight to switch"); }, fine,
         [] { throw pixtera::wire::ErrorFor(E_NOTIMPL); },
         [] { throw sdbus::Error("org.freedesktop.DBus.Error.UnknownObject", "no /org/pixtera/Display/3"); },
         [] { throw std::runtime_error("a fault of its own"); }, fine});
    EXPECT_EQ(carried, 6) << "every command, past each refusal";
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(refusals, (std::vector<std::string>{
                            "pixtera/nas/display/1/backlight/set: the display's driver has no backlight to switch",
                            "pixtera/nas/display/3/backlight/set: org.pixtera.Error.E_NOTIMPL (0x80004001)",
                            "pixtera/nas/display/4/backlight/set: org.freedesktop.DBus.Error.UnknownObject (no "
                            "/org/pixtera/Display/3)",
                            "pixtera/nas/display/5/backlight/set: a fault of its own"}));

    const std::vector<Step> outages{
        [] { throw sdbus::Error("org.freedesktop.DBus.Error.ServiceUnknown", "not activatable"); },
        [] { throw sdbus::Error("org.freedesktop.DBus.Error.NoReply", "no reply within 25 s"); },
        [] { throw sdbus::Error("org.freedesktop.DBus.Error.NameHasNoOwner", "no owner"); },
        [] { throw sdbus::Error("System.Error.ENOTCONN", "Transport endpoint is not connected"); },
        [] { throw pixtera::wire::ErrorFor(RPC_E_DISCONNECTED); },
    };
    for (std::size_t i = 0; i < outages.size(); ++i) {
        EXPECT_THROW(run({fine, outages[i], fine}), sdbus::Error) << "outage " << i;
        EXPECT_EQ(carried, 2) << "outage " << i << ": the command after it waits for the service";
        EXPECT_TRUE(refusals.empty()) << "outage " << i << " is no refusal";
        ASSERT_EQ(commands.size(), 2u) << "outage " << i << ": the one it struck and the one after wait";
        EXPECT_EQ(commands.front().topic, "pixtera/nas/display/2/backlight/set");
    }
}

pixtera::mqtt::Message Config(const std::string& id, std::string payload = "{}")
{
    return {"homeassistant/sensor/pixtera_nas/" + id + "/config", std::move(payload), true};
}

TEST(EarlierConfigs, WhatCameBeforeTheMarkerAndIsNotLiveIsStale)
{
    using namespace std::chrono_literals;
    const auto start = EarlierConfigs::Clock::now();
    EarlierConfigs earlier("homeassistant/pixtera_nas/sync", "ours");
    EXPECT_FALSE(earlier.Complete(start + 1h)) << "no connection yet: no marker, no wait";
    EXPECT_FALSE(earlier.Deadline());
    earlier.Asked(start);
    earlier.Asked(start + 3s); // a new connection: the marker again, the wait as it was
    EXPECT_EQ(earlier.Deadline(), start + EarlierConfigs::kLongestWait);

    for (const char* id : {"load", "gone", "cleared"})
        EXPECT_FALSE(earlier.Heard(Config(id)));
    earlier.Heard(Config("cleared", ""));
    earlier.Heard({"homeassistant/pixtera_nas/sync", "another bridge's", false});
    EXPECT_FALSE(earlier.Complete(start + 1s)) << "only our own marker ends the wait";
    earlier.Heard({"homeassistant/pixtera_nas/sync", "ours", false});
    EXPECT_TRUE(earlier.Complete(start + 1s));

    EXPECT_EQ(earlier.TakeStale({Config("load").topic}), std::vector<std::string>{Config("gone").topic});
    earlier.Heard(Config("late"));
    EXPECT_TRUE(earlier.TakeStale({}).empty()) << "once";
}

TEST(EarlierConfigs, ABrokerThatSendsTooManyOrTooLongOrNeverTheMarkerIsBounded)
{
    using namespace std::chrono_literals;
    const auto start = EarlierConfigs::Clock::now();
    EarlierConfigs flooded("homeassistant/pixtera_nas/sync", "ours");
    flooded.Asked(start);
    int said = 0;
    for (int i = 0; i < 5000; ++i)
        said += flooded.Heard(Config("flood" + std::to_string(i))).has_value();
    EXPECT_EQ(said, 1);
    EXPECT_TRUE(flooded.Complete(start)) << "no more is learned: nothing to wait for";
    EXPECT_EQ(flooded.TakeStale({}).size(), EarlierConfigs::kMostConfigs);

    EarlierConfigs silent("homeassistant/pixtera_nas/sync", "ours");
    silent.Asked(start);
    EXPECT_FALSE(silent.Heard(Config(std::string(EarlierConfigs::kLongestTopic, 'x'))));
    EXPECT_FALSE(silent.Complete(start + EarlierConfigs::kLongestWait - 1ms));
    EXPECT_TRUE(silent.Complete(start + EarlierConfigs::kLongestWait)) << "the marker never came";
    EXPECT_TRUE(silent.TakeStale({}).empty()) << "a topic that long is none of ours";
}

} // namespace
