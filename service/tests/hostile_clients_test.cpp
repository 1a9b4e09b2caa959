// SPDX-License-Identifier: MIT
// The service's bus objects as any program on the session bus may treat them: signals forged in
// the bus's name or of other types addressed to the service, arguments of other types, and more
// names in one call than any design shows. The service answers errors and serves on.

#include "remote_objects_fixture.h"

#include <pixtera/remote/bus_names.h>

#include <sdbus-c++/sdbus-c++.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::test;

std::string ServiceOwner(sdbus::IConnection& connection)
{
    auto daemon = sdbus::createProxy(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
    std::string owner;
    daemon->callMethod("GetNameOwner")
        .onInterface("org.freedesktop.DBus")
        .withArguments(std::string(bus::kServiceName))
        .storeResultsTo(owner);
    return owner;
}

// The error name a call ends in, or "" when it succeeded.
template <class... Arguments>
std::string ErrorOf(sdbus::IProxy& proxy, const std::string& interface, const std::string& member,
                    const Arguments&... arguments)
{
    try {
        auto call = proxy.createMethodCall(interface, member);
        (void)(call << ... << arguments);
        proxy.callMethod(call);
        return "";
    } catch (const sdbus::Error& error) {
        return error.getName();
    }
}

bool Running(sdbus::IConnection& connection)
{
    bool running = false;
    sdbus::createProxy(connection, bus::kServiceName, bus::DisplayPath(0))
        ->callMethod("IsRunning")
        .onInterface(bus::kManagedDisplay)
        .storeResultsTo(running);
    return running;
}

TEST_F(RemoteObjects, NameOwnerChangedForgedOrOfOtherTypesNeitherEndsTheServiceNorTakesALease)
{
    manager = Connect();
    ASSERT_TRUE(manager);
    auto borrower = sdbus::createSessionBusConnection();
    sdbus::createProxy(*borrower, bus::kServiceName, bus::DisplayPath(0))
        ->callMethod("BorrowOutput")
        .onInterface(bus::kDisplayLease);
    auto observer = sdbus::createSessionBusConnection();
    ASSERT_FALSE(Running(*observer));

    // Addressed to the service, a signal passes its match on the bus's name whoever sends it.
    auto forger = sdbus::createSessionBusConnection();
    const std::string service = ServiceOwner(*forger);
    auto object = sdbus::createObject(*forger, "/org/freedesktop/DBus");
    auto send = [&](auto... arguments) {
        auto signal = object->createSignal("org.freedesktop.DBus", "NameOwnerChanged");
        signal.setDestination(service);
        (void)(signal << ... << arguments);
        signal.send();
    };
    const std::string borrowerName = borrower->getUniqueName();
    send(std::int32_t{1});
    send(borrowerName);
    send(borrowerName, borrowerName, std::string());
    // The forger's signals reach the service before this call does.
    EXPECT_FALSE(Running(*forger)) << "the lease holds: only the bus says its borrower left";
    EXPECT_TRUE(ServiceOnBus());

    borrower.reset();
    EXPECT_TRUE(Eventually([&] { return Running(*observer); })) << "the bus's own word returns it";
}

TEST_F(RemoteObjects, ArgumentsOfOtherTypesAndEndlessNameListsAreAnsweredWithErrors)
{
    manager = Connect();
    ASSERT_TRUE(manager);
    auto client = sdbus::createSessionBusConnection();
    auto data = sdbus::createProxy(*client, bus::kServiceName, bus::kDataManagerPath);
    auto display = sdbus::createProxy(*client, bus::kServiceName, bus::DisplayPath(0));
    auto feed = sdbus::createProxy(*client, bus::kServiceName, bus::kFeedPath);

    EXPECT_EQ(ErrorOf(*display, bus::kDisplayPower, "SetBrightness", std::string("full")),
              "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(ErrorOf(*display, bus::kManagedDisplay, "QueueFile"), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(
        ErrorOf(*data, bus::kDataCollection, "Value", sdbus::Variant(sdbus::Struct<std::int32_t, std::string>(1, "A"))),
        "org.pixtera.Error.E_FAIL");
    EXPECT_EQ(
        ErrorOf(*feed, bus::kDataFeed, "SetValue", std::string("A"), sdbus::Variant(std::vector<std::string>{"A"})),
        "org.pixtera.Error.E_INVALIDARG")
        << "no item of that name takes a value here";

    const std::vector<std::string> endless(70'000, "A");
    EXPECT_EQ(ErrorOf(*data, bus::kDataCollection, "Values", endless), "org.pixtera.Error.E_INVALIDARG");
    EXPECT_EQ(ErrorOf(*data, bus::kDataCollection, "Volatile", endless), "org.pixtera.Error.E_INVALIDARG");

    std::vector<sdbus::Variant> values;
    data->callMethod("Values")
        .onInterface(bus::kDataCollection)
        .withArguments(std::vector<std::string>{"A"})
        .storeResultsTo(values);
    ASSERT_EQ(values.size(), 1u) << "and serves on";
    EXPECT_TRUE(ServiceOnBus());
}

} // namespace
