// SPDX-License-Identifier: MIT
#pragma once
// The service started by its first client over a private session bus, as a local server: a file
// display and the scripted provider (items A and B), and clients made by CoCreateInstance.

#include "child_process.h"
#include "private_bus.h"
#include "test_environment.h"

#include <pixtera/platform/com.h>
#include <pixtera/remote/activation.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/service_interfaces.h>

#include <sdbus-c++/sdbus-c++.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace pixtera::test {

inline bool ServiceOnBus()
{
    auto connection = sdbus::createSessionBusConnection();
    auto bus = sdbus::createProxy(*connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
    bool owned = false;
    bus->callMethod("NameHasOwner")
        .onInterface("org.freedesktop.DBus")
        .withArguments(std::string(bus::kServiceName))
        .storeResultsTo(owned);
    return owned;
}

class RemoteObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = InstallProgramCopy("pixtera2");
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileDisplay.so"));
        ASSERT_TRUE(RegisterTestModule("test-scripted-provider.so"));
        ASSERT_EQ(RunProgram({program.string(), "-RegServer"}), 0);
        frames = TestDirectory() / "frames.jsonl";
        WriteConfiguration();
        InstallRemoteActivation();
    }

    void TearDown() override
    {
        // A service still running ends with its bus.
        manager.Reset();
    }

    void WriteConfiguration(const std::string& extraItem = "B:two")
    {
        std::ofstream(configuration())
            << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
            << frames.string() << "\"><display active=\"yes\"/></driver>"
            << "<driver clsid=\"PixteraTest.ScriptedProvider\" configuration=\"mode=2;interval=100000;items=A:1,"
            << extraItem << "\"><data active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    }

    std::filesystem::path configuration() const { return TestDirectory() / "bin" / "pixtera2.xml"; }

    ComPtr<IManager> Connect()
    {
        ComPtr<IManager> created;
        EXPECT_EQ(CreateInstance(CLSID_Manager, CLSCTX_LOCAL_SERVER, created), S_OK);
        return created;
    }

    ComPtr<IManagedDisplay> Display(IManager& from)
    {
        ComPtr<IDisplayManager> displays;
        EXPECT_EQ(from.GetDisplayManager(displays.Out()), S_OK);
        ComPtr<IManagedDisplay> display;
        EXPECT_EQ(displays->Item(0, display.Out()), S_OK);
        return display;
    }

    ComPtr<IDataCollection> Data(IManager& from)
    {
        ComPtr<IDataManager> data;
        EXPECT_EQ(from.GetDataManager(data.Out()), S_OK);
        ComPtr<IDataCollection> collection;
        EXPECT_EQ(data->GetDataCollection(collection.Out()), S_OK);
        return collection;
    }

    PrivateBus bus;
    std::filesystem::path program;
    std::filesystem::path frames;
    ComPtr<IManager> manager;
};

} // namespace pixtera::test
