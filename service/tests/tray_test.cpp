// SPDX-License-Identifier: MIT
// The tray icon and notifications on a private bus, where the test plays the desktop: the
// StatusNotifierWatcher and a notification server.

#include "child_process.h"
#include "private_bus.h"
#include "test_environment.h"

#include <pixtera/platform/named_mutex.h>

#include <sdbus-c++/sdbus-c++.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::test;
using namespace std::chrono_literals;

using Properties = std::map<std::string, sdbus::Variant>;
using Layout = sdbus::Struct<int32_t, Properties, std::vector<sdbus::Variant>>;
using Pixmap = sdbus::Struct<int32_t, int32_t, std::vector<uint8_t>>;

// The desktop: a watcher that records registrations and a server that records notifications.
class FakeDesktop {
public:
    FakeDesktop() : connection_(sdbus::createSessionBusConnection())
    {
        notifications_ = sdbus::createObject(*connection_, "/org/freedesktop/Notifications");
        notifications_->registerMethod("Notify")
            .onInterface("org.freedesktop.Notifications")
            .implementedAs([this](const std::string&, uint32_t, const std::string&, const std::string& summary,
                                  const std::string& body, const std::vector<std::string>&, const Properties&,
                                  int32_t) {
                std::lock_guard lock(mutex_);
                notes_.push_back(summary + "|" + body);
                return static_cast<uint32_t>(notes_.size());
            });
        notifications_->finishRegistration();
        connection_->requestName("org.freedesktop.Notifications");
        connection_->enterEventLoopAsync();
    }
    ~FakeDesktop()
    {
        watcher_.reset();
        connection_->leaveEventLoop();
    }

    // The watcher appears (again): items should register with it.
    void StartWatcher()
    {
        watcher_ = sdbus::createObject(*connection_, "/StatusNotifierWatcher");
        watcher_->registerMethod("RegisterStatusNotifierItem")
            .onInterface("org.kde.StatusNotifierWatcher")
            .implementedAs([this](const std::string& service) {
                std::lock_guard lock(mutex_);
                items_.push_back(service);
            });
        watcher_->registerMethod("RegisterStatusNotifierHost")
            .onInterface("org.kde.StatusNotifierWatcher")
            .implementedAs([](const std::string&) {});
        watcher_->finishRegistration();
        connection_->requestName("org.kde.StatusNotifierWatcher");
    }

    std::vector<std::string> items()
    {
        std::lock_guard lock(mutex_);
        return items_;
    }
    std::vector<std::string> notes()
    {
        std::lock_guard lock(mutex_);
        return notes_;
    }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> notifications_;
    std::unique_ptr<sdbus::IObject> watcher_;
    std::mutex mutex_;
    std::vector<std::string> items_;
    std::vector<std::string> notes_;
};

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = InstallProgramCopy("pixtera2");
        ASSERT_EQ(RunProgram({program.string(), "-RegServer"}), 0);
        // A stand-in designer in the service's directory that notes each start.
        const auto designer = TestDirectory() / "bin" / "pixtera-designer";
        std::ofstream(designer) << "#!/bin/sh\necho started >> " << (TestDirectory() / "designer-starts").string()
                                << "\n";
        chmod(designer.c_str(), 0755);
    }

    void StartService()
    {
        service = std::make_unique<ChildProcess>(std::vector<std::string>{program.string()});
        ASSERT_TRUE(service->WaitForOutput("Service started")) << service->output();
    }

    // The item the service registered, seen from another connection.
    std::unique_ptr<sdbus::IProxy> Proxy(const std::string& path)
    {
        return sdbus::createProxy(*client, desktop.items().front(), path);
    }

    void Click(int32_t id)
    {
        Proxy("/MenuBar")
            ->callMethod("Event")
            .onInterface("com.canonical.dbusmenu")
            .withArguments(id, std::string("clicked"), sdbus::Variant(int32_t{0}), uint32_t{0});
    }

    int DesignerStarts()
    {
        std::ifstream in(TestDirectory() / "designer-starts");
        int lines = 0;
        for (std::string line; std::getline(in, line);)
            ++lines;
        return lines;
    }

    PrivateBus bus;
    FakeDesktop desktop;
    std::unique_ptr<sdbus::IConnection> client = sdbus::createSessionBusConnection();
    std::filesystem::path program;
    std::unique_ptr<ChildProcess> service;
};

TEST_F(TrayIconTest, TheItemRegistersWithItsPropertiesAndMenu)
{
    desktop.StartWatcher();
    StartService();
    ASSERT_TRUE(Eventually([&] { return !desktop.items().empty(); }));
    auto item = Proxy("/StatusNotifierItem");
    const char* const interface = "org.kde.StatusNotifierItem";
    const auto tip = item->getProperty("ToolTip")
                         .onInterface(interface)
                         .get<sdbus::Struct<std::string, std::vector<Pixmap>, std::string, std::string>>();
    EXPECT_EQ(std::get<2>(tip), "Pixtera");
    EXPECT_EQ(item->getProperty("Menu").onInterface(interface).get<sdbus::ObjectPath>(), "/MenuBar");
    const auto pixmaps = item->getProperty("IconPixmap").onInterface(interface).get<std::vector<Pixmap>>();
    ASSERT_FALSE(pixmaps.empty());
    for (const auto& pixmap : pixmaps)
        EXPECT_EQ(std::get<2>(pixmap).size(), static_cast<std::size_t>(std::get<0>(pixmap) * std::get<1>(pixmap) * 4));
    item->callMethod("Activate").onInterface(interface).withArguments(int32_t{0}, int32_t{0});
    EXPECT_EQ(DesignerStarts(), 0) << "a click on the icon does nothing";

    std::tuple<uint32_t, Layout> layout;
    Proxy("/MenuBar")
        ->callMethod("GetLayout")
        .onInterface("com.canonical.dbusmenu")
        .withArguments(int32_t{0}, int32_t{-1}, std::vector<std::string>{})
        .storeResultsTo(layout);
    const auto& children = std::get<2>(std::get<1>(layout));
    ASSERT_EQ(children.size(), 2u);
    const auto first = children[0].get<Layout>();
    const auto second = children[1].get<Layout>();
    EXPECT_EQ(std::get<0>(first), 203);
    EXPECT_EQ(std::get<1>(first).at("label").get<std::string>(), "Start Designer");
    EXPECT_EQ(std::get<0>(second), 202);
    EXPECT_EQ(std::get<1>(second).at("label").get<std::string>(), "Stop");
}

TEST_F(TrayIconTest, StartDesignerStartsItFromTheServicesDirectoryEachTime)
{
    desktop.StartWatcher();
    StartService();
    ASSERT_TRUE(Eventually([&] { return !desktop.items().empty(); }));
    Click(203);
    Click(203);
    EXPECT_TRUE(Eventually([&] { return DesignerStarts() == 2; }));
}

TEST_F(TrayIconTest, ADesignerThatCannotStartIsReported)
{
    std::filesystem::remove(TestDirectory() / "bin" / "pixtera-designer");
    desktop.StartWatcher();
    StartService();
    ASSERT_TRUE(Eventually([&] { return !desktop.items().empty(); }));
    Click(203);
    ASSERT_TRUE(Eventually([&] { return !desktop.notes().empty(); }));
    EXPECT_EQ(desktop.notes().front(), "Error|Error starting designer");
    EXPECT_NE(service->output().find("Error: Error starting designer"), std::string::npos) << "and it is logged";
}

TEST_F(TrayIconTest, StopWhileTheDesignerRunsIsRefusedWithANotification)
{
    desktop.StartWatcher();
    StartService();
    ASSERT_TRUE(Eventually([&] { return !desktop.items().empty(); }));
    {
        NamedMutex designer("PixteraDesigner");
        ASSERT_EQ(designer.status(), NamedMutex::Status::Created);
        Click(202);
        ASSERT_TRUE(Eventually([&] { return !desktop.notes().empty(); }));
    }
    EXPECT_EQ(desktop.notes().front(), "Error|The Pixtera designer is still running unable to stop.");
    EXPECT_EQ(service->WaitFor(2500), -1) << "the service keeps running";
}

TEST_F(TrayIconTest, StopEndsTheServiceAboutTwoSecondsLater)
{
    desktop.StartWatcher();
    StartService();
    ASSERT_TRUE(Eventually([&] { return !desktop.items().empty(); }));
    const auto clicked = std::chrono::steady_clock::now();
    Click(202);
    EXPECT_EQ(service->WaitFor(10000), 0) << service->output();
    EXPECT_GE(std::chrono::steady_clock::now() - clicked, 1900ms) << "the quit is delayed, not immediate";
}

TEST_F(TrayIconTest, AWatcherThatAppearsLateStillGetsTheItem)
{
    StartService();
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(desktop.items().empty());
    desktop.StartWatcher();
    EXPECT_TRUE(Eventually([&] { return desktop.items().size() == 1; }));
}

TEST_F(TrayIconTest, WithoutAWatcherOrNotificationServerTheServiceRunsOn)
{
    StartService();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(service->WaitFor(0), -1);
}

TEST_F(TrayIconTest, OnlyTheBusSaysAWatcherAppearedAndNoSignalEndsTheService)
{
    desktop.StartWatcher();
    StartService();
    ASSERT_TRUE(Eventually([&] { return desktop.items().size() == 1; }));
    // Addressed to the tray's connection, a signal passes its match on the bus's name whoever
    // sends it: only its sender, which the bus sets, tells it apart.
    auto forger = sdbus::createSessionBusConnection();
    auto object = sdbus::createObject(*forger, "/org/freedesktop/DBus");
    auto send = [&](auto... arguments) {
        auto signal = object->createSignal("org.freedesktop.DBus", "NameOwnerChanged");
        signal.setDestination(desktop.items().front());
        (void)(signal << ... << arguments);
        signal.send();
    };
    send(std::string("org.kde.StatusNotifierWatcher"), std::string(), forger->getUniqueName());
    send(std::int32_t{7});
    // The tray reads the forger's signals before this call, and the watcher would hear a
    // registration they caused before the ping that follows.
    std::tuple<uint32_t, Layout> layout;
    sdbus::createProxy(*forger, desktop.items().front(), "/MenuBar")
        ->callMethod("GetLayout")
        .onInterface("com.canonical.dbusmenu")
        .withArguments(int32_t{0}, int32_t{-1}, std::vector<std::string>{})
        .storeResultsTo(layout);
    sdbus::createProxy(*forger, "org.kde.StatusNotifierWatcher", "/")
        ->callMethod("Ping")
        .onInterface("org.freedesktop.DBus.Peer");
    EXPECT_EQ(desktop.items().size(), 1u) << "a forged watcher gets no registration";
    EXPECT_EQ(service->WaitFor(0), -1) << "the service runs on";
}

} // namespace
