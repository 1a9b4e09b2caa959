// SPDX-License-Identifier: MIT
// The preview's channel to the service, with a stand-in service on a bus of the test's own:
// which program is the service only the bus says, and no signal ends the channel.

#include "preview_channel.h"

#include "private_bus.h"
#include "test_environment.h"

#include <pixtera/remote/bus_names.h>

#include <sdbus-c++/sdbus-c++.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using pixtera::test::Eventually;

// The service's name and its data collection's reads, noting who reads and how often.
class StandInService {
public:
    StandInService() : connection_(sdbus::createSessionBusConnection(bus::kServiceName))
    {
        object_ = sdbus::createObject(*connection_, bus::kDataManagerPath);
        object_->registerMethod("Volatile")
            .onInterface(bus::kDataCollection)
            .implementedAs([this](const std::vector<std::string>& names) {
                Note();
                return std::vector<bool>(names.size(), false);
            });
        object_->registerMethod("Values")
            .onInterface(bus::kDataCollection)
            .implementedAs([this](const std::vector<std::string>& names) {
                Note();
                return std::vector<sdbus::Variant>(names.size(), sdbus::Variant(std::string("value")));
            });
        object_->registerMethod("Name").onInterface(bus::kDataCollection).implementedAs([](std::int32_t) {
            return std::string("A");
        });
        object_->finishRegistration();
        connection_->enterEventLoopAsync();
    }
    ~StandInService() { connection_->leaveEventLoop(); }

    std::string name() const { return connection_->getUniqueName(); }
    std::string reader() const
    {
        std::lock_guard lock(mutex_);
        return reader_;
    }
    int reads() const { return reads_; }
    template <class... Arguments>
    void EmitValuesChanged(const Arguments&... arguments)
    {
        auto signal = object_->createSignal(bus::kDataCollection, "ValuesChanged");
        (void)(signal << ... << arguments);
        signal.send();
    }

private:
    void Note()
    {
        std::lock_guard lock(mutex_);
        reader_ = object_->getCurrentlyProcessedMessage()->getSender();
        ++reads_;
    }

    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> object_;
    mutable std::mutex mutex_; // guards reader_
    std::string reader_;
    std::atomic<int> reads_{0};
};

TEST(PreviewChannelOnTheBus, OnlyTheBusSaysWhoTheServiceIsAndNoSignalEndsTheChannel)
{
    pixtera::test::PrivateBus bus;
    StandInService service;
    PreviewChannel channel(nullptr);
    ASSERT_TRUE(channel.connected());
    ASSERT_EQ(channel.Take().server, service.name());
    channel.Tick({u"A"}, std::nullopt);
    ASSERT_TRUE(Eventually([&] { return channel.Take().values.count(u"A") > 0; }));
    const std::string reader = service.reader(); // the channel's own connection

    // Addressed to the channel's connection, a signal passes its match on the bus's name whoever
    // sends it: only its sender, which the bus sets, tells it apart.
    auto forger = sdbus::createSessionBusConnection();
    auto object = sdbus::createObject(*forger, "/org/freedesktop/DBus");
    auto send = [&](auto... arguments) {
        auto signal = object->createSignal("org.freedesktop.DBus", "NameOwnerChanged");
        signal.setDestination(reader);
        (void)(signal << ... << arguments);
        signal.send();
    };
    send(std::string(bus::kServiceName), service.name(), forger->getUniqueName());
    send(std::string(bus::kServiceName), service.name(), std::string());
    send(std::int32_t{3});
    // The channel reads the forger's signals before it answers this.
    sdbus::createProxy(*forger, reader, "/")->callMethod("Ping").onInterface("org.freedesktop.DBus.Peer");
    EXPECT_EQ(channel.Take().server, service.name()) << "a forged word makes no other program the service";
    EXPECT_NE(channel.Take().state, ServiceLiveness::Stopped);

    const int reads = service.reads();
    service.EmitValuesChanged(std::string("not ids"));
    service.EmitValuesChanged(std::vector<std::int32_t>{1});
    EXPECT_TRUE(Eventually([&] { return service.reads() > reads; })) << "the channel reads on after a bad signal";
}

} // namespace
