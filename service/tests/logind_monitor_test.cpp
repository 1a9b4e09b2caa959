// SPDX-License-Identifier: MIT
// The logind monitor on a system bus of the test's own: it hears logind only from the connection
// that owns org.freedesktop.login1 now, drops what does not read as logind sends it, follows the
// user's sessions as they come and go, and never waits for logind on its signal thread. And the
// readers of logind's messages, on messages of every wrong shape.

#include "captured_log.h"
#include "fake_logind.h"
#include "logind_events.h"
#include "logind_monitor.h"
#include "logind_signals.h"
#include "private_bus.h"
#include "test_environment.h"

#include <gtest/gtest.h>

namespace pixtera::test {
namespace {

using namespace std::chrono_literals;

const std::string kSessionInterface = "org.freedesktop.login1.Session";
const std::string kUserInterface = "org.freedesktop.login1.User";
using Properties = std::map<std::string, sdbus::Variant>;
using Names = std::vector<std::string>;
using DisplayValue = sdbus::Struct<std::string, sdbus::ObjectPath>;

class LogindSignals : public ::testing::Test {
protected:
    // A sealed message with these arguments, as the readers get it from the bus.
    template <class... Arguments>
    sdbus::MethodCall Message(const Arguments&... arguments)
    {
        auto call = proxy_->createMethodCall("org.pixtera.Test", "Read");
        ((call << arguments), ...);
        call.seal();
        return call;
    }

private:
    PrivateBus bus_{PrivateBus::Kind::System};
    std::unique_ptr<sdbus::IConnection> connection_ = sdbus::createSystemBusConnection();
    std::unique_ptr<sdbus::IProxy> proxy_ = sdbus::createProxy(*connection_, "org.pixtera.Test", "/");
};

TEST_F(LogindSignals, ReadLogindsTypesAndNothingElse)
{
    auto sleep = Message(true);
    EXPECT_EQ(ReadPrepareForSleep(sleep), true);
    EXPECT_EQ(ReadPrepareForSleep(sleep), true) << "a message read before is read from its start again";
    auto wake = Message(false, std::string("more")); // later arguments do not matter
    EXPECT_EQ(ReadPrepareForSleep(wake), false);
    for (auto wrong : {Message(std::string("true")), Message(), Message(std::int32_t{1})})
        EXPECT_FALSE(ReadPrepareForSleep(wrong));

    auto locked = Message(kSessionInterface, Properties{{"LockedHint", sdbus::Variant(true)}}, Names{});
    const auto change = ReadSessionPropertiesChanged(locked);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->locked, true);
    EXPECT_FALSE(change->idle);
    auto otherInterface =
        Message(kUserInterface, Properties{{"LockedHint", sdbus::Variant(std::string("x"))}}, Names{});
    const auto other = ReadSessionPropertiesChanged(otherInterface);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->locked) << "another interface's is no change";
    for (auto wrong :
         {Message(kSessionInterface, Properties{{"LockedHint", sdbus::Variant(std::string("yes"))}}, Names{}),
          Message(kSessionInterface, Properties{{"IdleSinceHintMonotonic", sdbus::Variant(-1)}}, Names{}),
          Message(kSessionInterface, std::map<std::string, std::int32_t>{{"LockedHint", 1}}, Names{}),
          Message(kSessionInterface, Properties{{"LockedHint", sdbus::Variant(true)}}),
          Message(Properties{{"LockedHint", sdbus::Variant(true)}})})
        EXPECT_FALSE(ReadSessionPropertiesChanged(wrong));
    auto all = Message(Properties{{"IdleHint", sdbus::Variant(true)},
                                  {"IdleSinceHintMonotonic", sdbus::Variant(std::uint64_t{42})},
                                  {"Name", sdbus::Variant(std::string("user"))}});
    const auto allHints = ReadSessionGetAll(all);
    ASSERT_TRUE(allHints);
    SessionHints hints;
    allHints->ApplyTo(hints);
    EXPECT_TRUE(hints.idle);
    EXPECT_EQ(hints.idleSince, 42u);
    EXPECT_FALSE(hints.locked);

    auto announced = Message(std::string("c2"), sdbus::ObjectPath("/org/freedesktop/login1/session/c2"));
    EXPECT_EQ(ReadSessionAnnouncement(announced), "/org/freedesktop/login1/session/c2");
    auto pathAsText = Message(std::string("c2"), std::string("/org/freedesktop/login1/session/c2"));
    EXPECT_FALSE(ReadSessionAnnouncement(pathAsText));

    EXPECT_EQ(ReadDisplaySession(sdbus::Variant(DisplayValue("c2", sdbus::ObjectPath("/s/c2")))), "/s/c2");
    EXPECT_EQ(ReadDisplaySession(sdbus::Variant(DisplayValue("", sdbus::ObjectPath("/")))), "") << "no session";
    EXPECT_FALSE(ReadDisplaySession(sdbus::Variant(std::string("c2"))));
    EXPECT_FALSE(ReadDisplaySession(sdbus::Variant(sdbus::Struct<std::string, std::string>("c2", "/s/c2"))));
    auto displayReply = Message(sdbus::Variant(DisplayValue("c2", sdbus::ObjectPath("/s/c2"))));
    EXPECT_EQ(ReadDisplaySession(displayReply), "/s/c2");

    auto display = Message(kUserInterface, Properties{}, Names{"Display"});
    EXPECT_EQ(ReadUserDisplayChanged(display), true);
    auto displayValue = Message(kUserInterface, Properties{{"Display", sdbus::Variant(std::string("x"))}}, Names{});
    EXPECT_EQ(ReadUserDisplayChanged(displayValue), true);
    auto name = Message(kUserInterface, Properties{}, Names{"Name"});
    EXPECT_EQ(ReadUserDisplayChanged(name), false);
    auto sessionDisplay = Message(kSessionInterface, Properties{}, Names{"Display"});
    EXPECT_EQ(ReadUserDisplayChanged(sessionDisplay), false);
    auto noProperties = Message(kUserInterface, Names{"Display"});
    EXPECT_FALSE(ReadUserDisplayChanged(noProperties));

    auto owner = Message(std::string("org.freedesktop.login1"), std::string(":1.4"), std::string(":1.9"));
    const auto moved = ReadNameOwnerChanged(owner);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->newOwner, ":1.9");
    auto short_ = Message(std::string("org.freedesktop.login1"), std::string(":1.4"));
    EXPECT_FALSE(ReadNameOwnerChanged(short_));
    auto path = Message(sdbus::ObjectPath("/org/freedesktop/login1/session/_1"));
    EXPECT_EQ(ReadSessionPath(path), "/org/freedesktop/login1/session/_1");
    EXPECT_FALSE(ReadNameOwner(path));
}

class LogindMonitorTest : public ::testing::Test {
protected:
    std::unique_ptr<LogindMonitor> Start()
    {
        auto monitor = LogindMonitor::Start();
        EXPECT_TRUE(monitor);
        if (monitor)
            monitor->Subscribe(heard.Handlers());
        return monitor;
    }
    static std::string Following(const std::string& id)
    {
        return "Following logind's session " + FakeLogind::SessionPath(id);
    }
    // The one line naming a sender it dropped.
    int Named(const FakeLogind& sender) { return log.Count("from " + sender.uniqueName() + " on the system bus"); }

    PrivateBus systemBus{PrivateBus::Kind::System};
    CapturedLog log;
    LogindEvents heard;
};

TEST_F(LogindMonitorTest, ASubscriberIsToldTheSessionAsItIsNow)
{
    FakeLogind logind;
    logind.Lock(true);
    auto monitor = Start();
    EXPECT_TRUE(heard.locked()) << "told at once, with no change to wait for";
}

TEST_F(LogindMonitorTest, LogindStartedAgainUnderANewNameIsFollowedAndTheOldNameIgnored)
{
    auto first = std::make_unique<FakeLogind>();
    auto monitor = Start();
    first->ReleaseName();
    FakeLogind second;
    ASSERT_TRUE(Eventually([&] { return log.Contains("logind is on the system bus as " + second.uniqueName()); }))
        << log.Text();

    first->PrepareForSleep(true);
    first->Lock(true);
    first->Flush();
    EXPECT_TRUE(heard.sleeps().empty()) << "the old name no longer speaks for logind";
    EXPECT_FALSE(heard.locked());
    EXPECT_EQ(Named(*first), 1) << log.Text();

    second.PrepareForSleep(true);
    ASSERT_TRUE(Eventually([&] { return heard.sleeps() == std::vector<bool>{true}; }));
    second.Lock(true);
    EXPECT_TRUE(Eventually([&] { return heard.locked(); }));
}

TEST_F(LogindMonitorTest, MalformedSignalsFromLogindAreDroppedAndItsNameLoggedOnce)
{
    FakeLogind logind;
    auto monitor = Start();
    logind.SendMalformed();
    logind.Flush();
    EXPECT_TRUE(heard.sleeps().empty());
    EXPECT_EQ(heard.sessionCalls(), 1u) << "only the session as it was at the start";
    EXPECT_EQ(Named(logind), 1) << log.Text();

    logind.PrepareForSleep(true);
    EXPECT_TRUE(Eventually([&] { return heard.sleeps() == std::vector<bool>{true}; }));
    logind.Lock(true);
    EXPECT_TRUE(Eventually([&] { return heard.locked(); }));
}

TEST_F(LogindMonitorTest, ASessionThatBeginsAfterTheStartIsFollowed)
{
    FakeLogind logind(FakeLogind::Options{.processInSession = false, .session = ""});
    auto monitor = Start();
    EXPECT_FALSE(heard.session()) << "no session yet";
    logind.Login("c2");
    ASSERT_TRUE(Eventually([&] { return heard.session().has_value(); }));
    EXPECT_TRUE(log.Contains(Following("c2")));
    logind.Lock(true);
    EXPECT_TRUE(Eventually([&] { return heard.locked(); }));
}

TEST_F(LogindMonitorTest, AfterALogoutTheNextLoginIsFollowedAndTheClosedSessionIgnored)
{
    FakeLogind logind(FakeLogind::Options{.processInSession = false});
    auto monitor = Start();
    logind.Lock(true);
    ASSERT_TRUE(Eventually([&] { return heard.locked(); }));

    logind.Logout("_1");
    ASSERT_TRUE(Eventually([&] { return !heard.session(); })) << "the user has no session now";
    logind.Login("c3");
    ASSERT_TRUE(Eventually([&] { return log.Contains(Following("c3")); }));
    logind.LockSession("_1", true); // a closing session still announces changes
    logind.Flush();
    EXPECT_FALSE(heard.locked());
    logind.Lock(true);
    EXPECT_TRUE(Eventually([&] { return heard.locked(); }));
}

TEST_F(LogindMonitorTest, TheUsersDisplayMovingToAnotherSessionIsFollowed)
{
    FakeLogind logind(FakeLogind::Options{.processInSession = false, .session = "c1"});
    auto monitor = Start();
    logind.MoveDisplay("c2");
    ASSERT_TRUE(Eventually([&] { return log.Contains(Following("c2")); }));
    logind.LockSession("c1", true);
    logind.Flush();
    EXPECT_FALSE(heard.locked()) << "the session it left";
    logind.Lock(true);
    EXPECT_TRUE(Eventually([&] { return heard.locked(); }));
}

TEST_F(LogindMonitorTest, ASlowLogindHoldsUpNoSignal)
{
    FakeLogind logind(FakeLogind::Options{.processInSession = false, .session = ""});
    auto monitor = Start();
    logind.HoldDisplay();
    logind.Login("c2");
    ASSERT_TRUE(Eventually([&] { return !logind.heldFor().empty(); }));
    // While logind keeps its answer, the monitor's thread goes on handling what comes.
    auto probe = sdbus::createSystemBusConnection();
    EXPECT_NO_THROW(sdbus::createProxy(*probe, logind.heldFor(), "/")
                        ->callMethod("Ping")
                        .onInterface("org.freedesktop.DBus.Peer")
                        .withTimeout(10s));
    logind.ReleaseDisplay();
    EXPECT_TRUE(Eventually([&] { return heard.session().has_value(); })) << "the answer counts when it comes";
}

} // namespace
} // namespace pixtera::test
