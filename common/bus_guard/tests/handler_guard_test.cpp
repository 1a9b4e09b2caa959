// SPDX-License-Identifier: MIT
// Signal and reply handlers under a HandlerGuard, on a bus of the test's own: what a message of
// other types, a handler that throws or a forged sender would have ended the program with is
// dropped, said once per sender, and the next good message is handled.

#include "bus_peers.h"

#include <pixtera/bus/handler_guard.h>

#include "captured_log.h"
#include "private_bus.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

using namespace pixtera;
using namespace pixtera::bus::test;
using pixtera::bus::HandlerGuard;
using pixtera::test::Eventually;

const std::string kRule = std::string("type='signal',interface='") + kTestInterface + "'";

TEST(HandlerGuard, ASignalOfOtherTypesOrTooFewArgumentsIsDroppedAndItsSenderNamedOnce)
{
    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    std::atomic<int> seen{0};
    std::atomic<std::int64_t> last{0};
    HandlerGuard guard("Test");
    Listener listener;
    auto slot = listener.connection().addMatch(kRule, guard.OnSignal("Moved", [&](std::int64_t position) {
        last = position;
        ++seen;
    }));
    listener.Start();

    Emitter first;
    first.Emit("Moved", std::string("hello"));
    first.Emit("Moved", std::string("again"));
    first.Emit("Moved");
    first.Emit("Moved", std::int64_t{7});
    ASSERT_TRUE(Eventually([&] { return seen == 1; }));
    EXPECT_EQ(last, 7);
    EXPECT_EQ(log.Count("Test: dropped Moved from " + first.name()), 1) << log.Text();

    Emitter second;
    second.Emit("Moved", 1.5);
    second.Emit("Moved", std::int64_t{9});
    ASSERT_TRUE(Eventually([&] { return seen == 2; }));
    EXPECT_EQ(last, 9);
    EXPECT_EQ(log.Count("Test: dropped Moved from " + second.name()), 1) << log.Text();
}

TEST(HandlerGuard, WhateverAHandlerThrowsEndsInTheGuard)
{
    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    std::atomic<int> handled{0};
    HandlerGuard guard("Test");
    Listener listener;
    auto slot = listener.connection().addMatch(kRule, guard.OnMessage("Step", [&](sdbus::Message& message) {
        std::int32_t step = 0;
        message >> step;
        switch (step) {
        case 1: throw std::out_of_range("step 1");
        case 2: throw std::bad_alloc();
        case 3: throw 3;
        default: ++handled;
        }
    }));
    listener.Start();

    Emitter sender;
    for (std::int32_t step : {1, 2, 3, 4})
        sender.Emit("Step", step);
    ASSERT_TRUE(Eventually([&] { return handled == 1; })) << "the connection's loop goes on";
    EXPECT_EQ(log.Count("Test: dropped Step from " + sender.name() + ": step 1"), 1) << log.Text();
    EXPECT_EQ(log.Count("dropped Step"), 1) << "once per sender";
}

TEST(HandlerGuard, ASignalForgedInTheNameOfTheBusIsDropped)
{
    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    std::mutex mutex;
    std::vector<std::string> names; // guarded by mutex
    auto heard = [&](const std::string& name) {
        std::lock_guard lock(mutex);
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    HandlerGuard guard("Test");
    Listener listener;
    auto daemon = sdbus::createProxy(listener.connection(), bus::kBusDaemonName, "/org/freedesktop/DBus");
    daemon->registerSignalHandler(
        "org.freedesktop.DBus", "NameOwnerChanged",
        guard.OnSignalFrom(bus::kBusDaemonName, "NameOwnerChanged",
                           [&](const std::string& name, const std::string&, const std::string&) {
                               std::lock_guard lock(mutex);
                               names.push_back(name);
                           }));
    daemon->finishRegistration();
    listener.Start();

    // Addressed to the listener, a signal passes its match on the bus's name: only its sender,
    // which the bus sets, tells it apart.
    Emitter forger("/org/freedesktop/DBus");
    forger.EmitTo(listener.name(), "org.freedesktop.DBus", "NameOwnerChanged", std::string("org.pixtera.Forged"),
                  std::string(":1.999"), std::string());
    forger.EmitTo(listener.name(), "org.freedesktop.DBus", "NameOwnerChanged", std::int32_t{1});
    forger.connection().requestName("org.pixtera.Real");
    ASSERT_TRUE(Eventually([&] { return heard("org.pixtera.Real"); })) << "the bus's own signal is heard";
    EXPECT_FALSE(heard("org.pixtera.Forged"));
    EXPECT_EQ(log.Count("Test: dropped NameOwnerChanged from " + forger.name() +
                        ": it does not come from org.freedesktop.DBus"),
              1)
        << log.Text();
}

TEST(HandlerGuard, AReplyHandlerThatThrowsLeavesTheLoopRunning)
{
    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    Listener server;
    auto object = sdbus::createObject(server.connection(), "/test");
    object->registerMethod("Echo").onInterface(kTestInterface).implementedAs([](std::int32_t n) { return n; });
    object->finishRegistration();
    server.Start();

    std::atomic<int> replies{0};
    HandlerGuard guard("Test");
    Listener client;
    auto proxy = sdbus::createProxy(client.connection(), server.name(), "/test");
    client.Start();
    for (std::int32_t n : {1, 2}) {
        auto call = proxy->createMethodCall(kTestInterface, "Echo");
        call << n;
        proxy->callMethod(call, guard.OnReply("Echo", [&](sdbus::MethodReply& reply, const sdbus::Error* error) {
            std::int32_t echoed = 0;
            if (!error)
                reply >> echoed;
            ++replies;
            if (echoed == 1)
                throw std::runtime_error("not one");
        }));
    }
    ASSERT_TRUE(Eventually([&] { return replies == 2; }));
    EXPECT_EQ(log.Count("Test: dropped Echo from " + server.name() + ": not one"), 1) << log.Text();
}

TEST(HandlerGuard, ASignalOfANamesOwnerCountsOnlyFromWhoeverOwnsItNow)
{
    pixtera::test::PrivateBus bus;
    pixtera::test::CapturedLog log;
    std::mutex mutex;
    std::string owner; // guarded by mutex, as the caller would learn it from the bus
    std::vector<std::int32_t> heard; // guarded by mutex
    HandlerGuard guard("Test");
    Listener listener;
    auto slot = listener.connection().addMatch(kRule, guard.OnSignalFrom(
                                                          [&] {
                                                              std::lock_guard lock(mutex);
                                                              return owner;
                                                          },
                                                          "Moved",
                                                          [&](std::int32_t n) {
                                                              std::lock_guard lock(mutex);
                                                              heard.push_back(n);
                                                          }));
    listener.Start();
    auto count = [&] {
        std::lock_guard lock(mutex);
        return heard.size();
    };

    Emitter first;
    Emitter second;
    auto dropped = [&](const Emitter& from) { return log.Count("Test: dropped Moved from " + from.name()) == 1; };
    first.Emit("Moved", std::int32_t{0});
    ASSERT_TRUE(Eventually([&] { return dropped(first); })) << "nobody owns the name yet";
    {
        std::lock_guard lock(mutex);
        owner = first.name();
    }
    second.Emit("Moved", std::int32_t{2});
    ASSERT_TRUE(Eventually([&] { return dropped(second); }));
    first.Emit("Moved", std::int32_t{1});
    ASSERT_TRUE(Eventually([&] { return count() == 1; }));
    {
        std::lock_guard lock(mutex);
        owner = second.name();
    }
    first.Emit("Moved", std::int32_t{3});
    second.Emit("Moved", std::int32_t{4});
    ASSERT_TRUE(Eventually([&] { return count() == 2; }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(heard, (std::vector<std::int32_t>{1, 4}));
}

} // namespace
