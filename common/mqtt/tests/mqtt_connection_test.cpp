// SPDX-License-Identifier: MIT
// A connection to a broker of the test's own: messages of subscribed patterns, retained ones at
// once, publishing, a pattern unsubscribed for good, a broker that goes and comes back (one line of
// log each way), a wrong
// password said once and retried without spinning, and the last will. TLS or no connection, a
// broker that never answers CONNECT, one that ends every connection at once, and a handler that
// throws.

#include "captured_log.h"
#include "fake_broker.h"
#include "test_broker.h"
#include "test_environment.h"
#include "test_fifo.h"

#include <pixtera/mqtt/mqtt_connection.h>
#include <pixtera/platform/event_log.h>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::mqtt;
using pixtera::test::Eventually;
using pixtera::test::FakeBroker;
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

template <class Broker>
ConnectionSettings To(const Broker& broker)
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

TEST(MqttConnection, APatternUnsubscribedStaysSoAfterAReconnection)
{
    TestBroker broker;
    broker.Publish("dropped/a", "1", true);
    Heard heard;
    auto settings = To(broker);
    settings.longestPause = 1s;
    Connection connection(settings, heard.Handlers());
    connection.Subscribe("kept/#");
    connection.Subscribe("dropped/#");
    ASSERT_TRUE(Eventually([&] { return heard.HasMessage("dropped/a=1"); }));

    // Our own message comes back after the broker took the UNSUBSCRIBE sent before it.
    const auto sync = [&](const std::string& name) {
        return connection.Publish("kept/" + name, "1", false) &&
               Eventually([&] { return heard.HasMessage("kept/" + name + "=1"); });
    };
    connection.Unsubscribe("dropped/#");
    ASSERT_TRUE(sync("sync"));
    broker.Publish("dropped/b", "2");
    broker.Publish("kept/b", "2");
    EXPECT_TRUE(Eventually([&] { return heard.HasMessage("kept/b=2"); }));
    EXPECT_FALSE(heard.HasMessage("dropped/b=2"));

    broker.Stop();
    ASSERT_TRUE(Eventually([&] { return !connection.connected(); }));
    broker.Start();
    broker.Publish("dropped/c", "3", true);
    ASSERT_TRUE(Eventually([&] { return heard.Connected() == 2; }));
    ASSERT_TRUE(sync("again")) << "after the retained messages of every subscription of this connection";
    EXPECT_FALSE(heard.HasMessage("dropped/c=3")) << "not subscribed again";
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

TEST(MqttConnection, WithACaFileThereIsTlsOrNoConnection)
{
    FakeBroker plain(FakeBroker::Behaviour::Silent);
    auto settings = To(plain);
    settings.username = "desk";
    settings.password = "hunter2";
    settings.firstPause = 100ms;
    settings.tlsCa = (test::TestDirectory() / "no-such-ca.pem").string();
    {
        Heard heard;
        Connection connection(settings, heard.Handlers());
        EXPECT_TRUE(Eventually([&] {
            return heard.LogLinesWith("no connection without TLS: the CA file " + settings.tlsCa +
                                      " cannot be opened: No such file or directory; trying again") == 1;
        })) << heard.log.Text();
        std::this_thread::sleep_for(1s); // attempts at 0.1, 0.3 and 0.7 s
        EXPECT_EQ(heard.LogLinesWith("no connection without TLS"), 1u) << "once for the outage";
    }
    EXPECT_EQ(plain.Connections(), 0) << "never in the clear: " << plain.Received();

    // A FIFO would wait for a writer for ever where the library opens it.
    test::TestFifo fifo("ca-fifo");
    settings.tlsCa = fifo.path().string();
    Heard heard;
    std::unique_ptr<Connection> connection;
    EXPECT_TRUE(fifo.Returns([&] { connection = std::make_unique<Connection>(settings, heard.Handlers()); }));
    EXPECT_TRUE(Eventually([&] { return heard.LogLinesWith("CA file " + settings.tlsCa + " is not a regular file"); }))
        << heard.log.Text();
    connection.reset();
    EXPECT_EQ(plain.Connections(), 0) << plain.Received();

    // A usable CA: what goes out is a TLS handshake, never the password.
    TestBroker tls({"", "", true});
    settings.tlsCa = tls.caFile().string();
    connection = std::make_unique<Connection>(settings, heard.Handlers());
    ASSERT_TRUE(Eventually([&] { return !plain.Received().empty(); }));
    EXPECT_EQ(plain.Received().front(), '\x16') << "a TLS record";
    EXPECT_EQ(plain.Received().find("hunter2"), std::string::npos);
    connection.reset();

    settings.port = tls.port();
    settings.username.clear();
    settings.password.clear();
    connection = std::make_unique<Connection>(settings, heard.Handlers());
    connection->Subscribe("secure/#");
    EXPECT_TRUE(Eventually([&] { return connection->connected(); })) << heard.log.Text();
    tls.Publish("secure/value", "7", true);
    EXPECT_TRUE(Eventually([&] { return heard.HasMessage("secure/value=7"); })) << "over TLS";
}

TEST(MqttConnection, ABrokerThatNeverAnswersConnectIsGivenUpAfterTheWait)
{
    FakeBroker silent(FakeBroker::Behaviour::Silent);
    auto settings = To(silent);
    settings.connackWait = 1s;
    settings.firstPause = 100ms;
    Heard heard;
    Connection connection(settings, heard.Handlers());
    EXPECT_TRUE(Eventually([&] {
        return heard.LogLinesWith("no CONNACK from the broker at 127.0.0.1:" + std::to_string(silent.port()) +
                                  " within 1 s; trying again") == 1;
    })) << heard.log.Text();
    EXPECT_TRUE(Eventually([&] { return silent.Connections() >= 2; })) << "and tried again";
    EXPECT_FALSE(connection.connected());
}

TEST(MqttConnection, ABrokerThatEndsEveryConnectionAtOnceIsAskedLessAndLessOftenAndSaidOnce)
{
    FakeBroker rude(FakeBroker::Behaviour::HangsUp);
    auto settings = To(rude);
    settings.firstPause = 100ms;
    Heard heard;
    {
        Connection connection(settings, heard.Handlers());
        // Pauses of 0.1, 0.2, 0.4, 0.8 and 1.6 s: six connections at most; one a pause of 0.1 s
        // would be thirty.
        std::this_thread::sleep_for(3s);
    }
    EXPECT_GE(rude.Connections(), 3);
    EXPECT_LE(rude.Connections(), 6);
    EXPECT_EQ(heard.LogLinesWith("ended the connection again"), 1u) << heard.log.Text();
    EXPECT_LE(heard.log.Lines().size(), 4u) << heard.log.Text();

    // Two hang-ups, then a connection that holds: said, and the outage is over.
    FakeBroker settling(FakeBroker::Behaviour::HangsUp, 2);
    settings.port = settling.port();
    settings.holdsAfter = 1s;
    heard.log.Clear();
    Connection connection(settings, heard.Handlers());
    EXPECT_TRUE(Eventually([&] { return heard.LogLinesWith("again; the connection holds") == 1; })) << heard.log.Text();
    EXPECT_EQ(settling.Connections(), 3);
}

TEST(MqttConnection, AHandlerThatThrowsIsSaidOnceAndTheConnectionGoesOn)
{
    TestBroker broker;
    Heard heard;
    ConnectionHandlers handlers = heard.Handlers();
    handlers.message = [&heard](const Message& message) {
        if (message.payload == "bad")
            throw std::runtime_error("cannot take it");
        std::lock_guard lock(heard.mutex);
        heard.messages.push_back(message.topic + "=" + message.payload);
    };
    Connection connection(To(broker), handlers);
    connection.Subscribe("t/#");
    ASSERT_TRUE(Eventually([&] { return connection.connected(); }));
    broker.Publish("t/a", "bad");
    broker.Publish("t/a", "bad");
    broker.Publish("t/a", "good");
    EXPECT_TRUE(Eventually([&] { return heard.HasMessage("t/a=good"); }));
    EXPECT_EQ(heard.LogLinesWith("a message could not be handled (cannot take it)"), 1u) << heard.log.Text();
    EXPECT_TRUE(connection.connected());
}

} // namespace
