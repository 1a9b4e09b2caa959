// SPDX-License-Identifier: MIT
// Pixtera.MqttData against a broker of the test's own: an item per topic as messages arrive,
// retained values at start, JSON fields, numbers and text, mqtt.connected through an outage with
// the values kept, the service's sink woken for each arrival, configurations that cannot work (a
// CA file that cannot be used is no connection, and one that is a FIFO never holds up the start),
// and a hostile publisher's payloads and topics.

#include "counting_sink.h"
#include "fake_broker.h"
#include "plugin_test.h"
#include "test_broker.h"
#include "test_fifo.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/data_events.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/plugin_info.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <mutex>

namespace {

using namespace pixtera;
using pixtera::test::CountingSink;
using pixtera::test::Eventually;
using pixtera::test::TestBroker;
using namespace std::chrono_literals;

// The plug-in as the service drives it: configured, advised, refreshed and read.
struct Plugin {
    explicit Plugin(const std::string& configuration, bool advise = true)
    {
        info = test::CreatePlugin<IPluginInfo>("MqttData.so", u"Pixtera.MqttData");
        provider = info.As<IDataProvider>();
        if (advise) {
            EXPECT_EQ(info.As<IDataEvents>()->Advise(sink.get()), S_OK);
        }
        EXPECT_EQ(info->Configure(BString(std::string_view(configuration)).get()), S_OK);
    }
    ~Plugin()
    {
        if (auto events = info.As<IDataEvents>())
            events->Advise(nullptr);
    }

    // Every item's value as text ("21.5", "ON"), after a poll.
    std::map<std::string, std::string> Values()
    {
        provider->Refresh();
        LONG count = 0;
        provider->GetCount(&count);
        std::map<std::string, std::string> values;
        for (LONG i = 0; i < count; ++i) {
            BString name;
            Variant value;
            provider->GetName(i, name.Out());
            provider->GetValue(i, value.Out());
            values[name.utf8()] = value.vt == VT_R8 ? "#" + std::to_string(value.dblVal) : value.AsText()->utf8();
        }
        return values;
    }
    std::string Value(const std::string& name)
    {
        const auto values = Values();
        const auto found = values.find(name);
        return found == values.end() ? "(none)" : found->second;
    }
    std::string Description(const std::string& wanted)
    {
        provider->Refresh();
        LONG count = 0;
        provider->GetCount(&count);
        for (LONG i = 0; i < count; ++i) {
            BString name, description;
            provider->GetName(i, name.Out());
            if (name.utf8() == wanted && provider->GetDescription(i, description.Out()) == S_OK)
                return description.utf8();
        }
        return "(none)";
    }

    ComPtr<IPluginInfo> info;
    ComPtr<IDataProvider> provider;
    ComPtr<CountingSink> sink = MakeComObject<CountingSink>();
};

std::string At(const TestBroker& broker) { return "host=127.0.0.1;port=" + std::to_string(broker.port()); }

TEST(MqttData, TopicsBecomeItemsWithNumbersTextAndJsonFields)
{
    TestBroker broker;
    broker.Publish("home/kitchen/temperature", "21.5", true);
    Plugin plugin(At(broker) + ";topics=home/+/temperature, zigbee2mqtt/#");
    LONG mode = -1;
    plugin.provider->GetUpdateMode(&mode);
    EXPECT_EQ(mode, kUpdateOnce) << "told of arrivals, it needs no polling";
    EXPECT_TRUE(Eventually([&] { return plugin.Value("home/kitchen/temperature") == "#21.500000"; }))
        << "retained, at start";
    EXPECT_TRUE(Eventually([&] { return plugin.Value("mqtt.connected") == "#1.000000"; }));

    // One arrival at a time: two that come in one read may wake the service's poll once.
    const int before = plugin.sink->calls;
    // Retained: a message that reaches the broker before the subscription still arrives.
    broker.Publish("home/hall/temperature", "warm", true);
    ASSERT_TRUE(Eventually([&] { return plugin.Value("home/hall/temperature") == "warm"; }));
    EXPECT_TRUE(Eventually([&] { return plugin.sink->calls > before; })) << "an arrival wakes the service's poll";
    const int afterFirst = plugin.sink->calls;
    broker.Publish("zigbee2mqtt/sensor", R"({"temperature": 19.25, "occupancy": true, "state": "ON"})", true);
    ASSERT_TRUE(Eventually([&] { return plugin.Value("zigbee2mqtt/sensor.state") == "ON"; }));
    EXPECT_TRUE(Eventually([&] { return plugin.sink->calls > afterFirst; })) << "and so does the next";
    const auto values = plugin.Values();
    EXPECT_EQ(values.at("home/hall/temperature"), "warm") << "a wildcard's topic appears as it arrives";
    EXPECT_EQ(values.at("zigbee2mqtt/sensor.temperature"), "#19.250000");
    EXPECT_EQ(values.at("zigbee2mqtt/sensor.occupancy"), "#1.000000");
    EXPECT_EQ(values.at("zigbee2mqtt/sensor").front(), '{') << "the whole payload too";
    EXPECT_EQ(plugin.Description("zigbee2mqtt/sensor.temperature"), "MQTT\\zigbee2mqtt\\sensor\\temperature");

    // The same value again is no news.
    const int beforeHot = plugin.sink->calls;
    broker.Publish("home/hall/temperature", "warm");
    broker.Publish("home/hall/temperature", "hot");
    ASSERT_TRUE(Eventually([&] { return plugin.Value("home/hall/temperature") == "hot"; }));
    // The value is there before the service is told of it.
    ASSERT_TRUE(Eventually([&] { return plugin.sink->calls > beforeHot; }));
    const int calls = plugin.sink->calls;
    broker.Publish("home/hall/temperature", "hot");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(plugin.sink->calls, calls);
}

TEST(MqttData, ValuesOutliveAnOutageAndConnectedSaysSo)
{
    TestBroker broker;
    Plugin plugin(At(broker) + ";topics=nas/#");
    ASSERT_TRUE(Eventually([&] { return plugin.Value("mqtt.connected") == "#1.000000"; }));
    broker.Publish("nas/disk/free", "812", true);
    ASSERT_TRUE(Eventually([&] { return plugin.Value("nas/disk/free") == "#812.000000"; }));
    broker.Stop();
    EXPECT_TRUE(Eventually([&] { return plugin.Value("mqtt.connected") == "#0.000000"; }));
    EXPECT_EQ(plugin.Value("nas/disk/free"), "#812.000000") << "the last value stays";
    broker.Start();
    EXPECT_TRUE(Eventually([&] { return plugin.Value("mqtt.connected") == "#1.000000"; }, 15s));
    broker.Publish("nas/disk/free", "700", true);
    EXPECT_TRUE(Eventually([&] { return plugin.Value("nas/disk/free") == "#700.000000"; }));
}

TEST(MqttData, AMessageNamesOnlyTheItemsItChanged)
{
    TestBroker broker;
    Plugin plugin(At(broker) + ";topics=t/#");
    ASSERT_TRUE(Eventually([&] { return plugin.Value("mqtt.connected") == "#1.000000"; }));
    for (int i = 0; i < 20; ++i)
        broker.Publish("t/" + std::to_string(i), std::to_string(i));
    broker.Publish("t/json", R"({"a": 1, "b": 2})");
    ASSERT_TRUE(Eventually([&] { return plugin.Value("t/json.b") == "#2.000000"; }));
    const std::size_t before = plugin.sink->Named().size();

    broker.Publish("t/7", "70");
    broker.Publish("t/json", R"({"a": 1, "b": 3})");
    ASSERT_TRUE(Eventually([&] { return plugin.sink->Named().size() == before + 2; }));
    const auto named = plugin.sink->Named();
    EXPECT_EQ(named[before], std::vector<LONG>{8}) << "t/7, after mqtt.connected and t/0 ... t/6";
    EXPECT_EQ(named[before + 1], (std::vector<LONG>{21, 23})) << "t/json (its text) and t/json.b; a did not change";
    EXPECT_EQ(plugin.Value("t/7"), "#70.000000");
    EXPECT_EQ(plugin.Value("t/json.b"), "#3.000000");
    EXPECT_EQ(plugin.Value("t/6"), "#6.000000") << "what did not change is kept";
}

TEST(MqttData, WithoutASinkItIsPolledAndAPasswordComesOnlyFromAFile)
{
    TestBroker broker({"desk", "s3cret"});
    const auto passwordFile = test::TestDirectory() / "mqtt-password";
    std::ofstream(passwordFile) << "s3cret\n";
    std::filesystem::permissions(passwordFile,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    test::CapturedLog log;
    {
        Plugin plugin(At(broker) + ";topics=a/b;username=desk;password=s3cret;password_file=" + passwordFile.string(),
                      false);
        LONG mode = -1, interval = 0;
        plugin.provider->GetUpdateMode(&mode);
        plugin.provider->GetInterval(&interval);
        EXPECT_EQ(mode, kUpdatePeriodic) << "in a process of its own, there is no sink";
        EXPECT_GT(interval, 0);
        broker.Publish("a/b", "x", true);
        EXPECT_TRUE(Eventually([&] { return plugin.Value("a/b") == "x"; }));
    }
    EXPECT_TRUE(log.Contains("password (never in the configuration")) << log.Text();
    EXPECT_FALSE(log.Contains("s3cret")) << "never logged: " << log.Text();
}

TEST(MqttData, UnusableSettingsAreSaidAndTheRestWorks)
{
    TestBroker broker;
    test::CapturedLog log;
    {
        Plugin plugin(At(broker) + ";topics=good/#,bad/#/more,half+;password_file=/nonexistent");
        broker.Publish("good/one", "1", true);
        EXPECT_TRUE(Eventually([&] { return plugin.Value("good/one") == "#1.000000"; }));
    }
    EXPECT_TRUE(log.Contains("unusable topic \"bad/#/more\""));
    EXPECT_TRUE(log.Contains("unusable topic \"half+\""));
    EXPECT_TRUE(log.Contains("password_file (/nonexistent cannot be opened"));
}

TEST(MqttData, AHostilePublisherLeavesTheOtherValuesUpdating)
{
    TestBroker broker;
    test::CapturedLog log;
    Plugin plugin(At(broker) + ";topics=hostile/#");
    ASSERT_TRUE(Eventually([&] { return plugin.Value("mqtt.connected") == "#1.000000"; }));

    // 100,000 levels deep (200 KB): read without recursion, the nested value too long to keep.
    broker.Publish("hostile/deep",
                   R"({"a": )" + std::string(100'000, '[') + std::string(100'000, ']') + R"(, "b": 2})");
    // 300,000 fields (3.5 MB) and 10,000 (130 KB): refused at once, and said once for their topics.
    const auto wideObject = [](int fields) {
        std::string wide = "{";
        for (int i = 0; i < fields; ++i)
            wide += (i ? ",\"f" : "\"f") + std::to_string(i) + "\":" + std::to_string(i);
        return wide + "}";
    };
    for (int i = 0; i < 2; ++i) {
        broker.Publish("hostile/wide", wideObject(300'000));
        broker.Publish("hostile/many", wideObject(10'000));
    }
    // Topics of 60,000 bytes: left out.
    for (int i = 0; i < 3; ++i)
        broker.Publish("hostile/" + std::string(60'000, 'x') + std::to_string(i), "1");
    broker.Publish("hostile/ok", "1");

    ASSERT_TRUE(Eventually([&] { return plugin.Value("hostile/ok") == "#1.000000"; })) << log.Text();
    const auto values = plugin.Values();
    EXPECT_EQ(values.at("hostile/deep.b"), "#2.000000");
    EXPECT_FALSE(values.contains("hostile/deep.a"));
    EXPECT_EQ(values.at("hostile/wide").size(), 4096u) << "the topic's own text, cut";
    EXPECT_FALSE(values.contains("hostile/wide.f0"));
    EXPECT_FALSE(values.contains("hostile/many.f0"));
    for (const auto& [name, value] : values)
        EXPECT_LE(name.size(), 256u);
    EXPECT_EQ(log.Count("\"hostile/wide\" sent a JSON object longer than 256 KiB"), 1) << log.Text();
    EXPECT_EQ(log.Count("\"hostile/many\" sent a JSON object of more than 256 fields"), 1) << log.Text();
    EXPECT_EQ(log.Count("a topic of 60009 bytes is left out"), 1) << log.Text();

    broker.Publish("hostile/ok", "2");
    EXPECT_TRUE(Eventually([&] { return plugin.Value("hostile/ok") == "#2.000000"; }));
    EXPECT_EQ(plugin.Value("mqtt.connected"), "#1.000000");
}

TEST(MqttData, ACaFileThatCannotBeUsedIsNoConnectionAndAFifoDoesNotHoldUpTheStart)
{
    test::FakeBroker plain(test::FakeBroker::Behaviour::Silent);
    const auto passwordFile = test::TestDirectory() / "ca-test-password";
    std::ofstream(passwordFile) << "s3cret\n";
    std::filesystem::permissions(passwordFile,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string at = "host=127.0.0.1;port=" + std::to_string(plain.port()) +
                           ";topics=a/#;username=desk;password_file=" + passwordFile.string();
    test::TestFifo fifo("mqtt-ca");
    test::CapturedLog log;
    {
        std::unique_ptr<Plugin> plugin;
        EXPECT_TRUE(fifo.Returns([&] { plugin = std::make_unique<Plugin>(at + ";tls_ca=" + fifo.path().string()); }))
            << "the service's start waits for Configure";
        EXPECT_TRUE(Eventually([&] {
            return log.Contains("no connection without TLS: the CA file " + fifo.path().string() +
                                " is not a regular file");
        })) << log.Text();
        EXPECT_EQ(plugin->Value("mqtt.connected"), "#0.000000");
    }
    {
        Plugin plugin(at + ";tls_ca=/nonexistent/ca.pem");
        EXPECT_TRUE(Eventually([&] {
            return log.Contains("no connection without TLS: the CA file /nonexistent/ca.pem cannot be opened");
        })) << log.Text();
    }
    EXPECT_EQ(plain.Connections(), 0) << "the password never goes out in the clear: " << plain.Received();
}

} // namespace
