// SPDX-License-Identifier: MIT
// pixtera-mqtt's parts: its options (command line over --config) and the files they name, the
// machine's name in topics, Home Assistant's discovery messages field by field, the once-a-second
// throttle, the bounded queue of commands, the message's text, a batch of commands that goes on
// past a refusal and stops at an outage, item names on the broker, what is learned of the
// configs of earlier runs, within bounds, the names a display's select offers and its message
// board's lines.

#include "bridge_options.h"
#include "captured_log.h"
#include "command_batch.h"
#include "command_queue.h"
#include "discovery.h"
#include "earlier_configs.h"
#include "ignored_commands.h"
#include "item_names.h"
#include "layout.h"
#include "layout_pace.h"
#include "message_board.h"
#include "message_text.h"
#include "notification.h"
#include "notification_board.h"
#include "notification_frame.h"
#include "publish_throttle.h"
#include "screen_names.h"
#include "test_environment.h"
#include "test_fifo.h"

#include <pixtera/remote/bus_wire.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

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
                  "password_file=, tls_ca=, screen_hold=, layout=, designs=, group=");
    EXPECT_EQ(Parse({}).options->screenHoldSeconds, 60u);
    EXPECT_FALSE(Parse({}).options->layout) << "off unless asked for";
    EXPECT_TRUE(Parse({"--layout", "yes"}).options->layout);
    EXPECT_EQ(Parse({"--layout", "1"}).error, "layout \"1\" is neither yes nor no");
    std::filesystem::create_directories(dir / "designs");
    EXPECT_EQ(Parse({"--designs", (dir / "designs").string()}).options->designs, (dir / "designs").string());
    std::filesystem::create_directory_symlink(dir / "designs", dir / "designs-link");
    EXPECT_NE(Parse({"--designs", (dir / "designs-link").string()}).error.find("a symbolic link is not followed"),
              std::string::npos);
    EXPECT_EQ(Parse({"--designs", (dir / "secret").string()}).error,
              "designs folder " + (dir / "secret").string() +
                  " is no folder that can be opened (a symbolic link is not followed)");
    EXPECT_EQ(Parse({"--screen-hold", "300"}).options->screenHoldSeconds, 300u);
    for (const char* bad : {"0", "86401", "-5", "1m", ""})
        EXPECT_EQ(Parse({"--screen-hold", bad}).error,
                  std::string("screen_hold \"") + bad + "\" is not a number of seconds (1 to 86400)")
            << bad;
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

const std::string kKey = "0123456789abcdef0123456789abcdef";

TEST(BridgeDiscovery, EveryEntityNamesItsTopicsDeviceAndAvailability)
{
    const Topics topics("nas", kKey);
    EXPECT_EQ(topics.Value("Disk./srv.UsedPercent"), "pixtera/nas/Disk./srv.UsedPercent");
    EXPECT_EQ(topics.SensorConfigTopic("Disk./srv.UsedPercent"),
              "homeassistant/sensor/pixtera_nas_01234567/Disk-2e-2fsrv-2eUsedPercent/config");

    const json sensor = json::parse(topics.SensorConfig("CPU.Total"));
    EXPECT_EQ(sensor["name"], "CPU.Total");
    EXPECT_EQ(sensor["unique_id"], "pixtera_0123456789abcdef_CPU-2eTotal") << "the machine's key, not its name";
    EXPECT_EQ(sensor["object_id"], "pixtera_nas_cpu_total") << "the entity's readable name, as before";
    EXPECT_EQ(sensor["state_topic"], "pixtera/nas/CPU.Total");
    EXPECT_EQ(sensor["availability_topic"], "pixtera/nas/status");
    EXPECT_EQ(sensor["payload_available"], "online");
    EXPECT_EQ(sensor["payload_not_available"], "offline");
    EXPECT_EQ(sensor["device"]["identifiers"], json::array({"pixtera_0123456789abcdef"}));
    EXPECT_EQ(sensor["device"]["name"], "Pixtera on nas");

    // A display's entities: its own device, through the machine's, available while both are.
    const json light = json::parse(topics.LightConfig(2, true));
    EXPECT_EQ(topics.LightConfigTopic(2), "homeassistant/light/pixtera_nas_01234567/display_2/config");
    EXPECT_EQ(light["unique_id"], "pixtera_0123456789abcdef_display_2");
    EXPECT_EQ(light["command_topic"], "pixtera/nas/display/2/backlight/set");
    EXPECT_EQ(light["state_topic"], "pixtera/nas/display/2/backlight");
    EXPECT_EQ(light["payload_on"], "ON");
    EXPECT_EQ(light["brightness_command_topic"], "pixtera/nas/display/2/brightness/set");
    EXPECT_EQ(light["brightness_scale"], 100);
    EXPECT_FALSE(json::parse(topics.LightConfig(1, false)).contains("brightness_command_topic"))
        << "only where it dims";
    const json device = light["device"];
    EXPECT_EQ(device["identifiers"], json::array({"pixtera_0123456789abcdef_display_2"}));
    EXPECT_EQ(device["via_device"], "pixtera_0123456789abcdef");
    EXPECT_EQ(device["name"], "Display 2 on nas");
    const json availability = json::array(
        {{{"topic", "pixtera/nas/status"}, {"payload_available", "online"}, {"payload_not_available", "offline"}},
         {{"topic", "pixtera/nas/display/2/available"},
          {"payload_available", "online"},
          {"payload_not_available", "offline"}}});
    EXPECT_EQ(light["availability"], availability);
    EXPECT_EQ(light["availability_mode"], "all");

    const json notify = json::parse(topics.NotifyConfig(2));
    EXPECT_EQ(topics.NotifyConfigTopic(2), "homeassistant/notify/pixtera_nas_01234567/display_2/config");
    EXPECT_EQ(notify["command_topic"], "pixtera/nas/display/2/notify");
    EXPECT_EQ(notify["unique_id"], "pixtera_0123456789abcdef_display_2_notify");
    EXPECT_EQ(notify["device"], device);
    EXPECT_EQ(notify["availability"], availability);

    const json size = json::parse(topics.DiagnosticConfig(2, Diagnostic::Size));
    EXPECT_EQ(topics.DiagnosticConfigTopic(2, Diagnostic::Size),
              "homeassistant/sensor/pixtera_nas_01234567/display_2-size/config")
        << "no item's id: -s starts no escape";
    EXPECT_EQ(size["state_topic"], "pixtera/nas/display/2/size");
    EXPECT_EQ(size["entity_category"], "diagnostic");
    EXPECT_EQ(size["device"], device);
    EXPECT_EQ(size["availability"], availability);
    std::set<std::string> ids{light["unique_id"], notify["unique_id"], sensor["unique_id"]};
    for (const Diagnostic what : kDiagnostics)
        ids.insert(json::parse(topics.DiagnosticConfig(2, what))["unique_id"].get<std::string>());
    ids.insert(json::parse(topics.SensorConfig("display_2-size"))["unique_id"].get<std::string>());
    EXPECT_EQ(ids.size(), 7u) << "an item named like a diagnostic keeps an id of its own";

    const json text = json::parse(topics.TextConfig());
    EXPECT_EQ(topics.TextConfigTopic(), "homeassistant/text/pixtera_nas_01234567/message/config");
    EXPECT_EQ(text["unique_id"], "pixtera_0123456789abcdef_message");
    EXPECT_EQ(text["max"], 255);
    EXPECT_EQ(text["device"], sensor["device"]) << "the message is the machine's";
    EXPECT_EQ(text["command_topic"], "pixtera/nas/message/set");
    EXPECT_EQ(text["state_topic"], "pixtera/nas/message");

    // Every config of the machine under one pattern, and where earlier versions put them.
    EXPECT_EQ(topics.ConfigPattern(), "homeassistant/+/pixtera_nas_01234567/+/config");
    EXPECT_EQ(topics.FormerNodePattern(), "homeassistant/+/pixtera_nas/+/config");
    EXPECT_TRUE(topics.IsFormerNodeConfigTopic("homeassistant/light/pixtera_nas/display_1/config"));
    EXPECT_FALSE(topics.IsFormerNodeConfigTopic("homeassistant/light/pixtera_nas_01234567/display_1/config"));
    EXPECT_TRUE(topics.IsConfigTopic("homeassistant/light/pixtera_nas_01234567/display_1/config"));
    EXPECT_FALSE(topics.IsConfigTopic("homeassistant/light/pixtera_nas_2/display_1/config"));
    EXPECT_EQ(topics.FormerSensorConfigTopic("CPU.Total"), "homeassistant/sensor/pixtera_nas_cpu_total/config");
    EXPECT_EQ(topics.FormerLightConfigTopic(2), "homeassistant/light/pixtera_nas_display_2/config");
    EXPECT_EQ(topics.FormerTextConfigTopic(), "homeassistant/text/pixtera_nas_message/config");
}

std::string Repeated(std::string_view text, int times)
{
    std::string repeated;
    for (int i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

// The keys Home Assistant's MQTT schema of a component takes (beyond those every entity shares),
// and those it requires.
struct Schema {
    std::set<std::string> allowed;
    std::set<std::string> required;
};

void ExpectSchema(const json& config, const Schema& schema, const std::string& what)
{
    const std::set<std::string> shared{"name",         "unique_id",         "object_id",       "device",
                                       "availability", "availability_mode", "entity_category", "icon"};
    for (const auto& key : schema.required)
        EXPECT_TRUE(config.contains(key)) << what << " lacks " << key;
    for (const auto& [key, value] : config.items())
        EXPECT_TRUE(shared.contains(key) || schema.allowed.contains(key)) << what << ": " << key << " is no key of it";
    ASSERT_TRUE(config["device"]["identifiers"].is_array()) << what;
    ASSERT_EQ(config["availability"].size(), 2u) << what;
    for (const auto& availability : config["availability"])
        EXPECT_TRUE(availability.contains("topic")) << what;
}

TEST(BridgeDiscovery, ADisplaysSelectAndLinesFollowHomeAssistantsSchemas)
{
    const Topics topics("nas", kKey);
    const Schema select{{"command_topic", "state_topic", "options"}, {"command_topic", "options"}};
    const Schema text{{"command_topic", "state_topic", "min", "max", "mode", "pattern"}, {"command_topic"}};
    const json device = json::parse(topics.NotifyConfig(2))["device"];
    const json availability = json::parse(topics.NotifyConfig(2))["availability"];

    const json screen = json::parse(topics.ScreenConfig(2, {"clock", "weather"}));
    ExpectSchema(screen, select, "select");
    EXPECT_EQ(topics.ScreenConfigTopic(2), "homeassistant/select/pixtera_nas_01234567/display_2_screen/config");
    EXPECT_EQ(screen["command_topic"], "pixtera/nas/display/2/screen/set");
    EXPECT_EQ(screen["state_topic"], "pixtera/nas/display/2/screen");
    EXPECT_EQ(screen["options"], json::array({"clock", "weather"}));
    EXPECT_EQ(screen["unique_id"], "pixtera_0123456789abcdef_display_2_screen");
    EXPECT_EQ(screen["device"], device) << "the display's own device";
    EXPECT_EQ(screen["availability"], availability);
    EXPECT_EQ(screen["availability_mode"], "all");
    EXPECT_TRUE(json::parse(topics.ScreenConfig(1, {}))["options"].is_array()) << "an empty queue: no options";

    std::set<std::string> ids{screen["unique_id"], json::parse(topics.NotifyConfig(2))["unique_id"],
                              json::parse(topics.LightConfig(2, true))["unique_id"]};
    for (int row = 1; row <= 4; ++row) {
        const json line = json::parse(topics.LineConfig(2, row, 20));
        const std::string n = std::to_string(row);
        ExpectSchema(line, text, "line " + n);
        EXPECT_EQ(topics.LineConfigTopic(2, row),
                  "homeassistant/text/pixtera_nas_01234567/display_2_line_" + n + "/config");
        EXPECT_EQ(line["command_topic"], "pixtera/nas/display/2/line/" + n + "/set");
        EXPECT_EQ(line["state_topic"], "pixtera/nas/display/2/line/" + n);
        EXPECT_EQ(line["name"], "Line " + n);
        EXPECT_EQ(line["max"], 20) << "the display's width";
        EXPECT_EQ(line["min"], 0);
        EXPECT_EQ(line["mode"], "text");
        EXPECT_EQ(line["device"], device);
        EXPECT_EQ(line["availability"], availability);
        ids.insert(line["unique_id"].get<std::string>());
    }
    ids.insert(json::parse(topics.TextConfig())["unique_id"].get<std::string>());
    EXPECT_EQ(ids.size(), 8u) << "every unique_id unique";
    EXPECT_NE(topics.LineConfigTopic(2, 1), topics.TextConfigTopic());
}

TEST(ScreenNames, EachDesignByItsStemOnceAndBounded)
{
    EXPECT_EQ(ScreenNames({"/home/me/designs/clock.pxd", "weather.pxd", "/other/clock.pxd", "/x/clock.pxd"}),
              (std::vector<std::string>{"clock", "weather", "clock 2", "clock 3"}));
    EXPECT_EQ(ScreenNames({"/d/clock 2.pxd", "/e/clock.pxd", "/f/clock.pxd"}),
              (std::vector<std::string>{"clock 2", "clock", "clock 3"}))
        << "a stem like a suffix keeps its name, and the suffix goes on";
    EXPECT_EQ(ScreenNames({"", "/d/.pxd"}), (std::vector<std::string>{"design", ".pxd"}));
    const std::string accents = Repeated("\u00e9", 40); // 80 bytes
    const auto cut = ScreenNames({"/d/" + accents + ".pxd", "/e/" + accents + ".pxd"});
    EXPECT_EQ(cut[0], Repeated("\u00e9", 32)) << "64 bytes, between two characters";
    EXPECT_EQ(cut[1], Repeated("\u00e9", 31) + " 2");
    EXPECT_LE(cut[1].size(), kLongestScreenName);
    std::vector<std::string> many(500, "/d/same.pxd");
    const auto bounded = ScreenNames(many);
    EXPECT_EQ(bounded.size(), kMostScreens);
    EXPECT_EQ(std::set<std::string>(bounded.begin(), bounded.end()).size(), kMostScreens);

    const std::vector<std::string> names{"clock", "weather", "clock 2"};
    EXPECT_EQ(ScreenIndex(names, "clock 2"), 2);
    EXPECT_EQ(ScreenIndex(names, "weather"), 1);
    EXPECT_FALSE(ScreenIndex(names, "/home/me/designs/clock.pxd")) << "never a path";
    EXPECT_FALSE(ScreenIndex(names, "Clock"));
}

TEST(Layout, AListOfNamesEachResolvedInTheQueueOrTheFolderAloneNeverAPath)
{
    EXPECT_EQ(ReadLayout(R"(["clock", "weather"])").names, (std::vector<std::string>{"clock", "weather"}));
    EXPECT_TRUE(ReadLayout("[]").refused.empty()) << "an empty queue is a queue";
    for (const std::string bad : {"clock", R"({"1": ["clock"]})", R"(["clock", 3])", R"([["clock"]])", "[", ""})
        EXPECT_EQ(ReadLayout(bad).refused, "a layout is a JSON list of design names") << bad;
    EXPECT_EQ(ReadLayout(std::string(100000, '[')).refused, "a layout is a JSON list of design names")
        << "deep nesting is refused, not a crash";
    std::string many = "[";
    for (int i = 0; i < 65; ++i)
        many += std::string(i ? "," : "") + "\"x\"";
    EXPECT_EQ(ReadLayout(many + "]").refused, "a layout has at most 64 designs");
    const std::size_t deep = kLongestLayout / 2; // as deep as the longest layout taken nests
    EXPECT_EQ(ReadLayout(std::string(deep, '[') + std::string(deep, ']')).refused,
              "a layout is a JSON list of design names")
        << "read and dropped without a stack that deep";

    const auto folder = pixtera::test::TestDirectory() / "designs";
    std::filesystem::create_directories(folder / "sub");
    std::ofstream(folder / "rain.pxd") << "<Design/>";
    std::ofstream(folder / ".hidden.pxd") << "<Design/>";
    std::ofstream(folder / "sub" / "deep.pxd") << "<Design/>";
    std::ofstream(pixtera::test::TestDirectory() / "outside.pxd") << "<Design/>";
    std::filesystem::create_symlink(pixtera::test::TestDirectory() / "outside.pxd", folder / "link.pxd");
    std::filesystem::create_directory(folder / "dir.pxd");
    const std::vector<QueueEntry> queue{{"/home/me/clock.pxd", 0}, {"/srv/clock.pxd", 30}};
    EXPECT_EQ(ResolveDesign("clock 2", queue, folder.string()), (QueueEntry{"/srv/clock.pxd", 30}))
        << "as the select names it, with its own duration";
    EXPECT_EQ(ResolveDesign("rain", queue, folder.string()), (QueueEntry{(folder / "rain.pxd").string(), 10}));
    EXPECT_FALSE(ResolveDesign("rain", queue, "")) << "no folder configured: the queues' designs alone";
    for (const std::string& hostile :
         std::vector<std::string>{"../outside", "sub/deep", "/etc/passwd", ".hidden", "link", "dir", "", "missing",
                                  std::string("rain\0x", 6), "/home/me/clock.pxd", "clock.pxd"})
        EXPECT_FALSE(ResolveDesign(hostile, queue, folder.string())) << hostile;
}

TEST(BridgeLayout, ADesignInTheFolderThatIsAnotherUsersOrAFifoIsNoneOfTheLayouts)
{
    // A folder of root's may be one anybody writes in, as /tmp is.
    const auto folder = pixtera::test::TestDirectory() / "shared";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(mkfifo((folder / "pipe.pxd").c_str(), 0600), 0);
    EXPECT_FALSE(ResolveDesign("pipe", {}, folder.string()));
    std::ofstream(folder / "planted.pxd") << "<Design/>";
    if (chown((folder / "planted.pxd").c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "a file of another user's needs root to make";
    EXPECT_FALSE(ResolveDesign("planted", {}, folder.string()));
    std::ofstream(folder / "own.pxd") << "<Design/>";
    EXPECT_TRUE(ResolveDesign("own", {}, folder.string())) << "this user's own";
}

TEST(MessageBoard, EachLineAloneCutToTheWidthAndShownOnlyWithText)
{
    MessageBoard board;
    EXPECT_FALSE(board.Shows());
    EXPECT_EQ(board.Frame(4, 2), "        ");
    EXPECT_TRUE(board.Set(2, ReadBoardLine("Door open", 4).text));
    EXPECT_EQ(board.Line(2), "Door");
    EXPECT_TRUE(board.Shows());
    EXPECT_EQ(board.Frame(4, 3), "    Door    ") << "line 2 alone; 1 and 3 blank";
    EXPECT_FALSE(board.Set(2, "Door")) << "the same again is no change";
    EXPECT_TRUE(board.Set(1, ReadBoardLine("\u00e9t\u00e9 \u20ac", 4).text));
    EXPECT_EQ(board.Frame(4, 2), "\u00e9t\u00e9 Door") << "characters, not bytes";
    EXPECT_EQ(ReadBoardLine("a\tb\nc", 10).text, "a b c");
    EXPECT_EQ(ReadBoardLine("caf\xc3", 10).refused, "the message is not UTF-8 text");
    EXPECT_EQ(ReadBoardLine(std::string(5000, 'x'), 20).text, std::string(20, 'x'));
    EXPECT_FALSE(board.Set(0, "x"));
    EXPECT_FALSE(board.Set(kMostBoardLines + 1, "x"));
    board.Set(1, "   ");
    board.Set(2, "");
    EXPECT_FALSE(board.Shows()) << "blanks alone give the display back";
}

TEST(BridgeDiscovery, HostsOfNamesAlikeHaveNodesOfTheirOwnAndARenamedHostKeepsItsEntities)
{
    const Topics dotted(TopicMachineName("my.nas"), kKey);
    const Topics underscored(TopicMachineName("my_nas"), "fedcba9876543210fedcba9876543210");
    EXPECT_EQ(dotted.machine(), underscored.machine()) << "the topics' rule merges them";
    EXPECT_NE(dotted.ConfigPattern(), underscored.ConfigPattern());
    EXPECT_NE(dotted.LightConfigTopic(1), underscored.LightConfigTopic(1));

    const Topics renamed("new-name", kKey);
    for (const auto& [before, after] :
         std::vector<std::pair<std::string, std::string>>{{dotted.LightConfig(1, false), renamed.LightConfig(1, false)},
                                                          {dotted.NotifyConfig(1), renamed.NotifyConfig(1)},
                                                          {dotted.SensorConfig("load"), renamed.SensorConfig("load")}})
        EXPECT_EQ(json::parse(before)["unique_id"], json::parse(after)["unique_id"]);
    EXPECT_EQ(TopicMachineName("All"), "all_") << "pixtera/all/ is every machine's";
    EXPECT_EQ(TopicMachineName("group"), "group_");
}

TEST(BridgeOptions, GroupsNameTheirDisplaysAndABadNameIsRefused)
{
    const auto dir = pixtera::test::TestDirectory();
    std::ofstream(dir / "groups.conf") << "group=kitchen:1,2\ngroup = hall : 3\n";
    const auto file = Parse({"--config", (dir / "groups.conf").string()});
    ASSERT_TRUE(file.options) << file.error;
    EXPECT_EQ(file.options->groups, (std::map<std::string, std::set<int>>{{"kitchen", {1, 2}}, {"hall", {3}}}));
    const auto both = Parse({"--config", (dir / "groups.conf").string(), "--group", "desk:2"});
    ASSERT_TRUE(both.options) << both.error;
    EXPECT_EQ(both.options->groups, (std::map<std::string, std::set<int>>{{"desk", {2}}}))
        << "the command line's replace the file's";
    EXPECT_NE(Parse({"--group", "Kitchen:1"}).error.find("is not NAME:DISPLAYS"), std::string::npos);
    EXPECT_NE(Parse({"--group", "a/b:1"}).error.find("is not NAME:DISPLAYS"), std::string::npos);
    EXPECT_NE(Parse({"--group", "+:1"}).error.find("is not NAME:DISPLAYS"), std::string::npos);
    EXPECT_NE(Parse({"--group", std::string(33, 'a') + ":1"}).error.find("is not NAME:DISPLAYS"), std::string::npos);
    EXPECT_TRUE(Parse({"--group", std::string(32, 'a') + ":1"}).options);
    EXPECT_EQ(Parse({"--group", "kitchen:0"}).error, "group kitchen: \"0\" is not a display number (1 to 64)");
    EXPECT_EQ(Parse({"--group", "kitchen:65"}).error, "group kitchen: \"65\" is not a display number (1 to 64)");
    std::vector<std::string> many;
    for (int i = 0; i <= 32; ++i) {
        many.push_back("--group");
        many.push_back("g" + std::to_string(i) + ":1");
    }
    EXPECT_EQ(Parse(many).error, "more than 32 groups");
}

TEST(Notification, PlainTextOrAnObjectOfItsFieldsEachChecked)
{
    const auto plain = ReadNotification("Washing\tdone");
    ASSERT_TRUE(plain.refused.empty());
    EXPECT_EQ(plain.notification.text, "Washing done");
    EXPECT_EQ(plain.notification.duration, 10s);
    EXPECT_EQ(plain.notification.priority, Priority::Info);

    const auto object =
        ReadNotification(R"( {"message":"Door open","priority":"alert","duration":30,"expire":60,"x":1})");
    ASSERT_TRUE(object.refused.empty()) << object.refused;
    EXPECT_EQ(object.notification.text, "Door open");
    EXPECT_EQ(object.notification.priority, Priority::Alert);
    EXPECT_EQ(object.notification.duration, 30s);
    EXPECT_EQ(object.notification.expire, 60s);

    EXPECT_EQ(ReadNotification(R"({"priority":"alert"})").refused, "the JSON object has no \"message\"");
    EXPECT_EQ(ReadNotification(R"({"message":"x","priority":"urgent"})").refused,
              "\"priority\" is neither info nor alert");
    EXPECT_EQ(ReadNotification(R"({"message":"x","duration":0})").refused,
              "\"duration\" is not a whole number of seconds from 1 to 3600");
    EXPECT_EQ(ReadNotification(R"({"message":"x","duration":1.5})").refused,
              "\"duration\" is not a whole number of seconds from 1 to 3600");
    EXPECT_EQ(ReadNotification(R"({"message":"x","expire":86401})").refused,
              "\"expire\" is not a whole number of seconds from 1 to 86400");
    EXPECT_EQ(ReadNotification(R"({"message":5})").refused, "\"message\" is not a text");
    EXPECT_EQ(ReadNotification("{not json").refused,
              "a notification that starts with { is a JSON object of at most 16 fields");
    EXPECT_EQ(ReadNotification(std::string(100000, '[')).notification.text.size(), 255u) << "a deep nest is text, cut";
    EXPECT_EQ(ReadNotification("{\"message\":" + std::string(100000, '[')).refused,
              "a notification that starts with { is a JSON object of at most 16 fields");
    EXPECT_EQ(ReadNotification("caf\xc3").refused, "the message is not UTF-8 text");
    EXPECT_EQ(ReadNotification(" \n ").refused, "the message is empty");
}

TEST(NotificationFrame, WordsWrapOntoTheRowsAndWhatDoesNotFitIsCut)
{
    EXPECT_EQ(NotificationFrame("Washing done", 8, 2), "Washing done    ");
    EXPECT_EQ(NotificationFrame("The washing machine is done", 10, 2), "The       washing   ")
        << "a word that does not fit goes to the next row, and the last row's overflow is cut";
    EXPECT_EQ(NotificationFrame("Supercalifragilistic", 8, 2), "Supercalifragili") << "a long word broken";
    EXPECT_EQ(NotificationFrame("a  b", 4, 1), "a  b");
    EXPECT_EQ(NotificationFrame("\u00e9t\u00e9 fini", 4, 2), "\u00e9t\u00e9 fini") << "characters, not bytes";
    EXPECT_EQ(NotificationFrame("x", 3, 2), "x     ");
    EXPECT_EQ(NotificationFrame("x", 0, 2), "");
}

using Board = NotificationBoard;

Notification Note(std::string text, Priority priority = Priority::Info, std::chrono::seconds duration = 10s,
                  std::chrono::seconds expire = 3600s)
{
    return {std::move(text), duration, priority, expire};
}

TEST(NotificationBoard, InfosTakeTurnsAnAlertInterruptsAndTheInterruptedShowsItsRestAfter)
{
    Board board;
    const auto t0 = Board::Clock::time_point{} + 1000s;
    EXPECT_FALSE(board.Current(t0));
    board.Push(Note("first"), t0);
    board.Push(Note("second"), t0);
    EXPECT_EQ(board.Current(t0), "first");
    EXPECT_EQ(board.Current(t0 + 9s), "first");
    EXPECT_EQ(board.NextChange(), t0 + 10s);
    EXPECT_EQ(board.Current(t0 + 10s), "second");
    board.Push(Note("fire", Priority::Alert, 5s), t0 + 14s);
    EXPECT_EQ(board.Current(t0 + 14s), "fire") << "second showed 4 s";
    EXPECT_EQ(board.Current(t0 + 19s), "second") << "6 s left";
    EXPECT_EQ(board.Current(t0 + 24s), "second");
    EXPECT_FALSE(board.Current(t0 + 25s));
    EXPECT_FALSE(board.NextChange());
}

TEST(NotificationBoard, NothingIsLostWhileBlankedUnlessItExpired)
{
    Board board;
    const auto t0 = Board::Clock::time_point{} + 1000s;
    board.Push(Note("showing"), t0);
    EXPECT_EQ(board.Current(t0), "showing");
    board.SetBlanked(true, t0 + 4s);
    board.Push(Note("while dark"), t0 + 5s);
    board.Push(Note("short-lived", Priority::Info, 10s, 60s), t0 + 5s);
    EXPECT_FALSE(board.Current(t0 + 100s)) << "nothing shows on a blanked display";
    board.SetBlanked(false, t0 + 100s);
    EXPECT_EQ(board.Current(t0 + 100s), "showing");
    EXPECT_EQ(board.Current(t0 + 106s), "while dark") << "its 6 s left";
    EXPECT_FALSE(board.Current(t0 + 116s)) << "short-lived expired in the dark";
}

TEST(NotificationBoard, AFloodIsBoundedAndChangesTheDisplayAtMostOnceASecond)
{
    Board board;
    const auto t0 = Board::Clock::time_point{} + 1000s;
    std::optional<std::string> said;
    for (int i = 0; i < 100; ++i)
        if (auto line = board.Push(Note("alert " + std::to_string(i), Priority::Alert), t0); line)
            said = said ? *said + "\n" + *line : *line;
    EXPECT_EQ(board.waiting(), Board::kMostWaiting);
    ASSERT_TRUE(said);
    EXPECT_EQ(said->find('\n'), std::string::npos) << "said once: " << *said;
    EXPECT_EQ(board.Current(t0), "alert 92") << "the oldest alerts went";
    board.Push(Note("alert 92", Priority::Alert), t0);
    board.Push(Note("alert 93", Priority::Alert), t0);
    EXPECT_EQ(board.waiting(), 7u) << "the same as one showing or waiting is that one";

    Board infos;
    infos.Push(Note("info"), t0);
    EXPECT_EQ(infos.Current(t0), "info");
    infos.Push(Note("alert", Priority::Alert), t0 + 100ms);
    EXPECT_EQ(infos.Current(t0 + 100ms), "info") << "a showing lasts a second before it is interrupted";
    EXPECT_EQ(infos.NextChange(), t0 + 1s);
    EXPECT_EQ(infos.Current(t0 + 1s), "alert");
    for (int i = 0; i < 20; ++i)
        infos.Push(Note("info " + std::to_string(i)), t0 + 1s);
    EXPECT_EQ(infos.waiting(), Board::kMostWaiting) << "the interrupted info went first";
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
    const Topics topics("nas", kKey);
    const std::vector<std::string> own{topics.Status(),
                                       topics.Message(),
                                       topics.Message() + "/set",
                                       topics.Backlight(1),
                                       topics.Backlight(1) + "/set",
                                       topics.Brightness(1) + "/set",
                                       topics.Notify(1),
                                       topics.DisplayAvailability(1),
                                       topics.DiagnosticState(1, Diagnostic::Output)};
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
    const Topics topics("nas", kKey);
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

TEST(LayoutPace, AFlappingLayoutRewritesTheQueuesOncePerTurnWithTheNewestWaiting)
{
    const auto layout = [](const std::string& names) {
        return pixtera::mqtt::Message{"pixtera/m/layout", names, true};
    };
    LayoutPace pace;
    const LayoutPace::Clock::time_point start{std::chrono::hours(1)};
    ASSERT_EQ(pace.Offer(layout("[\"a\"]"), start).value_or(pixtera::mqtt::Message{}).payload, "[\"a\"]")
        << "the first at once";
    EXPECT_FALSE(pace.NextDue()) << "nothing waits";
    pace.Rewritten(start);
    // A hundred a second for a while: none is applied before its turn, the newest waits.
    for (int n = 0; n < 300; ++n) {
        const auto now = start + std::chrono::milliseconds(10 * n);
        EXPECT_FALSE(pace.Offer(layout(n % 2 ? "[\"a\"]" : "[\"b\"]"), now)) << n;
        EXPECT_FALSE(pace.TakeDue(now)) << n;
    }
    EXPECT_EQ(pace.NextDue(), start + kLayoutEvery);
    const auto due = pace.TakeDue(start + kLayoutEvery);
    ASSERT_TRUE(due);
    EXPECT_EQ(due->payload, "[\"a\"]") << "the newest of the burst";
    EXPECT_FALSE(pace.TakeDue(start + kLayoutEvery)) << "taken once";

    // A layout that changed nothing leaves the turn where it was; one after a quiet while is at once.
    const auto later = start + 3 * kLayoutEvery;
    ASSERT_TRUE(pace.Offer(layout("[\"b\"]"), later));
    pace.Rewritten(later);
    EXPECT_FALSE(pace.Offer(layout("[\"a\"]"), later + kLayoutEvery / 2));
    EXPECT_TRUE(pace.Offer(layout("[\"b\"]"), later + kLayoutEvery)) << "its turn: at once";
    EXPECT_FALSE(pace.TakeDue(later + 2 * kLayoutEvery)) << "the one that waited was older: gone";
}

} // namespace
