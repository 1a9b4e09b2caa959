// SPDX-License-Identifier: MIT
// A connection to a broker of the test's own: messages of subscribed patterns, retained ones at
// once, publishing, a broker that goes and comes back (one line of log each way), a wrong
// password said once and retried without spinning, and the last will.

#include "captured_log.h"
#include "test_broker.h"
#include "test_environment.h"

#include <pixtera/mqtt/mqtt_connection.h>
#include <pixtera/platform/event_log.h>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::mqtt;
using pixtera::test::Eventually;
using pixtera::test::TestBroker;
using namespace std::chrono_literals;

// What reached the handlers, and the log.
struct Heard {
    std::mutex mutex;
    std::vector<std::string> messages; // "topic=payload"
    int connected = 0;
    int lost = 0;
    pixtera::test::CapturedLog log;

    ConnectionHandlers Handlers()
    {
        return {[this] {
                    std::lock_guard lock(mutex);
                    ++connected;
                },
                [this] {
                    std::lock_guard lock(mutex);
                    ++lost;
                },
                [this](const Message& message) {
                    std::lock_guard lock(mutex);
                    messages.push_back(message.topic + "=" + message.payload);
                }};
    }
    bool HasMessage(const std::string& wanted)
    {
        std::lock_guard lock(mutex);
        return std::find(messages.begin(), messages.end(), wanted) != messages.end();
    }
    std::size_t LogLinesWith(const std::string& text) { return static_cast<std::size_t>(log.Count(text)); }
    int Connected()
    {
        std::lock_guard lock(mutex);
        return connected;
    }
};

ConnectionSettings To(const TestBroker& broker)
{
    ConnectionSettings settings;
    settings.port = broker.port();
    settings.logName = "test";
    return settings;
}

TEST(MqttConnection, WildcardsRetainedValuesAndPublishing)
{
    TestBroker broker;
    broker.Publish("home/kitchen/temperature", "21.5", true);
    Heard heard;
    Connection connection(To(broker), heard.Handlers());
    connection.Subscribe("home/+/temperature");
    EXPECT_TRUE(Eventually([&] { return heard.HasMessage("home/kitchen/temperature=21.5"); })) << "retained, at start";
    ASSERT_TRUE(Eventually([&] { return connection.connected(); }));
    // Retained: a message that reaches the broker before the subscription still arrives.
    broker.Publish("home/hall/temperature", "19", true);
    broker.Publish("home/hall/humidity", "40", true);
    EXPECT_TRUE(Eventually([&] { return heard.HasMessage("home/hall/temperature=19"); }));
    EXPECT_FALSE(heard.HasMessage("home/hall/humidity=40")) << "not subscribed";

    auto watcher = broker.StartWatching("out/#", 1);
    EXPECT_TRUE(connection.Publish("out/value", "42", true));
    EXPECT_EQ(watcher.Lines(), std::vector<std::string>{"out/value 42"});
    EXPECT_EQ(heard.LogLinesWith("connected to the broker"), 1u);
}

TEST(MqttConnection, ABrokerThatGoesAndComesBackIsLoggedOnceEachWay)
{
    TestBroker broker;
    Heard heard;
    auto settings = To(broker);
    settings.longestPause = 1s; // the test need not wait for a long pause
    Connection connection(settings, heard.Handlers());
    connection.Subscribe("a/#");
    ASSERT_TRUE(Eventually([&] { return connection.connected(); }));

    broker.Stop();
    ASSERT_TRUE(Eventually([&] { return !connection.connected(); }));
    EXPECT_FALSE(connection.Publish("a/b", "1", false)) << "nothing to send to";
    std::this_thread::sleep_for(3s); // several attempts
    EXPECT_EQ(heard.LogLinesWith("lost the broker"), 1u);
    EXPECT_EQ(heard.LogLinesWith("cannot reach"), 0u) << "the attempts of one outage are one line";

    broker.Start();
    ASSERT_TRUE(Eventually([&] { return connection.connected(); }));
    EXPECT_EQ(heard.LogLinesWith("connected to the broker at 127.0.0.1:" + std::to_string(broker.port()) + " again"),
              1u);
    broker.Publish("a/b", "back", true);
    EXPECT_TRUE(Eventually([&] { return heard.HasMessage("a/b=back"); })) << "subscribed again";
    EXPECT_EQ(heard.Connected(), 2);
}

TEST(MqttConnection, AWrongPasswordIsSaidOnceAndTriedAgainOnlyAfterAPause)
{
    TestBroker broker({"pixtera", "right"});
    Heard heard;
    auto settings = To(broker);
    settings.username = "pixtera";
    settings.password = "wrong";
    {
        Connection connection(settings, heard.Handlers());
        std::this_thread::sleep_for(4s);
        EXPECT_FALSE(connection.connected());
    }
    EXPECT_EQ(heard.LogLinesWith("refused"), 1u);
    EXPECT_EQ(heard.LogLinesWith("wrong"), 0u) << "the password is never logged";
    EXPECT_EQ(heard.LogLinesWith("lost") + heard.LogLinesWith("cannot reach"), 0u);
    const int attempts = broker.Refusals();
    EXPECT_GE(attempts, 2);
    EXPECT_LE(attempts, 3) << "at 0, 1 and 3 s: pauses that grow, not a spin";

    settings.password = "right";
    Connection connection(settings, heard.Handlers());
    EXPECT_TRUE(Eventually([&] { return connection.connected(); }));
}

TEST(MqttConnection, TheWillIsSentWhenTheClientDiesNotWhenItLeaves)
{
    TestBroker broker;
    Heard heard;
    auto settings = To(broker);
    settings.will = LastWill{"who/status", "offline", true};
    {
        Connection connection(settings, heard.Handlers());
        ASSERT_TRUE(Eventually([&] { return connection.connected(); }));
        connection.Publish("who/status", "online", true);
    }
    EXPECT_EQ(broker.Watch("who/status", 1), std::vector<std::string>{"who/status online"}) << "a clean goodbye";
}

} // namespace
