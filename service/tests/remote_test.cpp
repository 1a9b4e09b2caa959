// SPDX-License-Identifier: MIT
// The service's objects from another process: proxies made by CoCreateInstance over a private
// session bus, with the service started by the first client.

#include "bus_interface_file.h"
#include "call_log.h"
#include "child_process.h"
#include "private_bus.h"
#include "remote_objects_fixture.h"
#include "test_environment.h"

#include <pixtera/platform/com.h>
#include <pixtera/remote/activation.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>
#include <pixtera/sdk/display_character_set.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/service_interfaces.h>

#include <sdbus-c++/sdbus-c++.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::test;

TEST_F(RemoteObjects, TheFirstClientStartsTheServiceAndEveryClientGetsTheSameObjects)
{
    EXPECT_FALSE(ServiceOnBus());
    manager = Connect();
    ASSERT_TRUE(manager);
    EXPECT_TRUE(ServiceOnBus());
    auto second = Connect();
    ASSERT_TRUE(second);

    auto display = Display(*manager);
    ASSERT_EQ(display->StopOutput(), S_OK);
    ASSERT_EQ(display->AddQueueItem(BString(std::string_view("/designs/a.pxd")).get(), 5), S_OK);
    LONG count = 0;
    ASSERT_EQ(Display(*second)->QueueCount(&count), S_OK);
    EXPECT_EQ(count, 1) << "the second client sees the first one's change";

    ComPtr<IDriverManager> drivers;
    ASSERT_EQ(second->GetDriverManager(drivers.Out()), S_OK);
    ASSERT_EQ(drivers->Count(&count), S_OK);
    EXPECT_EQ(count, 2);
    ComPtr<IDispatch> item;
    EXPECT_EQ(drivers->Item(count, item.Out()), E_FAIL);
    EXPECT_EQ(drivers->Item(0, item.Out()), E_NOINTERFACE) << "the file display has no IDispatch";
}

TEST_F(RemoteObjects, QueueOperationsRoundTripAndRewriteTheConfiguration)
{
    manager = Connect();
    auto display = Display(*manager);
    ASSERT_TRUE(display);
    EXPECT_EQ(display->AddQueueItem(BString(std::string_view("x.pxd")).get(), 1), E_FAIL) << "running: stop first";
    ASSERT_EQ(display->StopOutput(), S_OK);
    VARIANT_BOOL running = 1;
    ASSERT_EQ(display->IsRunning(&running), S_OK);
    EXPECT_EQ(running, 0);
    for (const char* file : {"a.pxd", "b.pxd", "c.pxd"})
        ASSERT_EQ(display->AddQueueItem(BString(std::string_view(file)).get(), 4), S_OK);
    ASSERT_EQ(display->SetQueueDuration(1, 9), S_OK);
    ASSERT_EQ(display->MoveQueueItemUp(1), S_OK); // b a c
    ASSERT_EQ(display->MoveQueueItemDown(1), S_OK); // b c a
    ASSERT_EQ(display->DeleteQueueItem(2), S_OK); // b c
    EXPECT_EQ(display->SetQueueDuration(7, 1), E_FAIL);
    BString file;
    ASSERT_EQ(display->QueueFile(1, file.Out()), S_OK);
    EXPECT_EQ(file.view(), u"c.pxd");
    LONG seconds = 0;
    ASSERT_EQ(display->QueueDuration(0, &seconds), S_OK);
    EXPECT_EQ(seconds, 9);
    EXPECT_EQ(display->QueueFile(2, file.Out()), E_FAIL);
    const std::string text = FileText(configuration());
    EXPECT_NE(
        text.find(
            "<queueitem Filename=\"b.pxd\" Runtime=\"9\"/>\n\t\t\t\t\t<queueitem Filename=\"c.pxd\" Runtime=\"4\"/>"),
        std::string::npos)
        << text;
    ASSERT_EQ(display->StartOutput(), S_OK);
}

TEST_F(RemoteObjects, ValuesByNameAndByShortIdOnly)
{
    manager = Connect();
    auto data = Data(*manager);
    ASSERT_TRUE(data);
    LONG count = 0;
    ASSERT_EQ(data->Count(&count), S_OK);
    EXPECT_EQ(count, 2);
    Variant value;
    ASSERT_EQ(data->Value(Variant::FromShort(1), value.Out()), S_OK);
    EXPECT_EQ(value.vt, VT_R8);
    EXPECT_EQ(value.dblVal, 1.0);
    EXPECT_EQ(data->Value(Variant::FromLong(1), value.Out()), E_FAIL) << "a 32-bit integer is no id";
    ASSERT_EQ(data->Value(Variant::FromUtf8("B"), value.Out()), S_OK);
    EXPECT_EQ(BstrView(value.bstrVal), u"two#1");
    ASSERT_EQ(data->Value(Variant::FromUtf8("Nope"), value.Out()), S_OK);
    EXPECT_EQ(BstrView(value.bstrVal), u"Error");
    BString name;
    EXPECT_EQ(data->Name(0, name.Out()), E_FAIL);
    ASSERT_EQ(data->Name(2, name.Out()), S_OK);
    EXPECT_EQ(name.view(), u"B");
    ASSERT_EQ(data->Description(1, name.Out()), S_OK);
    EXPECT_EQ(name.view(), u"Test\\A");
}

TEST_F(RemoteObjects, ThePreviewPathReachesThePlugin)
{
    manager = Connect();
    ComPtr<IDisplayDriver> driver;
    ASSERT_EQ(Display(*manager)->GetDriver(driver.Out()), S_OK);
    LONG columns = 0;
    ASSERT_EQ(driver->GetColumns(&columns), S_OK);
    EXPECT_EQ(columns, 20);
    ASSERT_EQ(driver->Write(BString(std::u16string_view(u"Preview \u20ac")).get()), S_OK);
    EXPECT_TRUE(
        Eventually([&] { return FileText(frames).find(R"("op":"Write","frame":"Preview €")") != std::string::npos; }));
    BString name;
    ASSERT_EQ(driver.As<IPluginInfo>()->GetPluginName(name.Out()), S_OK);
    EXPECT_EQ(name.view(), u"File display");
}

// What the service exports is what the interface files describe, member for member.
TEST_F(RemoteObjects, EveryObjectsIntrospectionMatchesTheInterfaceFiles)
{
    // A second display whose driver has LEDs: only such a display has their interface.
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
        << frames.string() << "\"><display active=\"yes\"/></driver>"
        << "<driver clsid=\"PixteraTest.ScriptedProvider\" configuration=\"items=A:1;leds=1\"><display "
           "active=\"yes\"/><data active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    manager = Connect();
    ASSERT_TRUE(manager);
    auto connection = sdbus::createSessionBusConnection();
    const auto ask = [&]<class Result>(const std::string& path, const char* interface, const char* method,
                                       Result& result) {
        sdbus::createProxy(*connection, bus::kServiceName, path)
            ->callMethod(method)
            .onInterface(interface)
            .storeResultsTo(result);
    };
    sdbus::ObjectPath driverPath;
    ask(bus::DisplayPath(0), bus::kManagedDisplay, "GetDriver", driverPath);

    std::map<std::string, bus::BusInterface> described;
    for (const auto& entry : std::filesystem::directory_iterator(PIXTERA_BUS_INTERFACE_DIR)) {
        auto interface = bus::ReadBusInterfaceFile(entry.path());
        described.emplace(interface.name, std::move(interface));
    }
    std::set<std::string> seen;
    bool sawCaps = false;
    for (const std::string& path :
         {std::string(bus::kManagerPath), std::string(bus::kDriverManagerPath), std::string(bus::kDataManagerPath),
          std::string(bus::kFeedPath), std::string(bus::kDisplayManagerPath), bus::DisplayPath(0), bus::DisplayPath(1),
          std::string(driverPath)}) {
        std::string xml;
        ask(path, "org.freedesktop.DBus.Introspectable", "Introspect", xml);
        if (xml.find("<property name=\"Caps\"") != std::string::npos) {
            sawCaps = true;
            EXPECT_NE(xml.find("EmitsChangedSignal\" value=\"const\""), std::string::npos)
                << "clients may cache what never changes: " << xml;
        }
        for (const auto& live : bus::ParseBusInterfaces(xml)) {
            if (live.name.rfind("org.pixtera.", 0) != 0)
                continue;
            seen.insert(live.name);
            const auto file = described.find(live.name);
            ASSERT_NE(file, described.end()) << path << " exports " << live.name << ", which has no file";
            EXPECT_EQ(bus::BusInterfaceDifferences(file->second, live), std::vector<std::string>())
                << path << " " << live.name;
        }
    }
    for (const auto& [name, interface] : described)
        EXPECT_TRUE(seen.count(name)) << name << " is described but exported nowhere";
    EXPECT_TRUE(sawCaps);
}

// The display's object shows what its driver measured of the frame it wrote last.
TEST_F(RemoteObjects, LastFrameTrafficIsTheDriversMeasureOfItsLastFrame)
{
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"PixteraTest.ScriptedProvider\" "
           "configuration=\"items=A:1\"><display active=\"yes\"/><data active=\"yes\"/></driver>"
           "</drivers></PixteraConfiguration>";
    manager = Connect();
    ASSERT_TRUE(manager);
    auto display = Display(*manager);
    ASSERT_EQ(display->StopOutput(), S_OK);
    ComPtr<IDisplayDriver> driver;
    ASSERT_EQ(display->GetDriver(driver.Out()), S_OK);
    auto connection = sdbus::createSessionBusConnection();
    auto object = sdbus::createProxy(*connection, bus::kServiceName, bus::DisplayPath(0));
    using Traffic = sdbus::Struct<std::int32_t, std::int32_t, std::int64_t, std::int64_t>;
    const auto traffic = [&] {
        return object->getProperty("LastFrameTraffic").onInterface(bus::kManagedDisplay).get<Traffic>();
    };
    for (const std::string frame : {"a frame of 27 characters...", "then one of 18 ..."}) {
        ASSERT_EQ(driver->Write(BString(std::string_view(frame)).get()), S_OK);
        const auto n = static_cast<std::int64_t>(frame.size());
        const Traffic expected(static_cast<std::int32_t>(n), 1, 9 * n + 20, 10 * n);
        EXPECT_TRUE(Eventually([&] { return traffic() == expected; })) << std::get<0>(traffic());
    }
}

TEST_F(RemoteObjects, APluginThatThrowsInABusCallFailsTheCallNotTheService)
{
    // The greeting is the driver's first Write; the client's is the second, and it throws.
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"PixteraTest.ScriptedProvider\" "
           "configuration=\"throwon=Write@2;items=A:1\"><display active=\"yes\"/><data active=\"yes\"/></driver>"
           "</drivers></PixteraConfiguration>";
    manager = Connect();
    ComPtr<IDisplayDriver> driver;
    ASSERT_EQ(Display(*manager)->GetDriver(driver.Out()), S_OK);
    EXPECT_EQ(driver->Write(BString(std::string_view("boom")).get()), RPC_E_SERVERFAULT);
    EXPECT_TRUE(ServiceOnBus());
    LONG columns = 0;
    EXPECT_EQ(driver->GetColumns(&columns), RPC_E_SERVERFAULT) << "a plug-in that faulted is not called again";
    Variant value;
    ASSERT_EQ(Data(*manager)->Value(Variant::FromUtf8("A"), value.Out()), S_OK);
    EXPECT_EQ(BstrView(value.bstrVal), u"Plugin died") << "one fault guard for every use of the plug-in";
}

TEST_F(RemoteObjects, AFaultOfOnePluginDoesNotFailQuestionsAboutAnother)
{
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"PixteraTest.ScriptedProvider\" "
           "configuration=\"throwon=GetValue@2;items=A:1;interval=50\"><data active=\"yes\"/></driver>"
           "<driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
        << frames.string() << "\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    manager = Connect();
    EXPECT_TRUE(Eventually([&] {
        Variant value;
        return SUCCEEDED(Data(*manager)->Value(Variant::FromUtf8("A"), value.Out())) && value.vt == VT_BSTR &&
               BstrView(value.bstrVal) == u"Plugin died";
    })) << "the provider faulted";
    ComPtr<IDisplayDriver> driver;
    ASSERT_EQ(Display(*manager)->GetDriver(driver.Out()), S_OK) << "the file display did not fault";
    BString name;
    ASSERT_EQ(driver.As<IPluginInfo>()->GetPluginName(name.Out()), S_OK);
    EXPECT_EQ(name.view(), u"File display");
}

TEST_F(RemoteObjects, ErrorsKeepTheirNameAndCodeAndSayWhatToDo)
{
    manager = Connect();
    auto connection = sdbus::createSessionBusConnection();
    auto error = [&](const char* path, const char* interface, const char* method, auto... arguments) {
        auto proxy = sdbus::createProxy(*connection, bus::kServiceName, path);
        try {
            proxy->callMethod(method).onInterface(interface).withArguments(arguments...);
        } catch (const sdbus::Error& failure) {
            return failure.getName() + " " + failure.getMessage();
        }
        return std::string("no error");
    };
    EXPECT_EQ(error(bus::kDataManagerPath, bus::kDataCollection, "Value", sdbus::Variant(int32_t{1})),
              "org.pixtera.Error.E_FAIL 0x80004005: Value takes a name (s) or an id (n); got i");
    EXPECT_EQ(error(bus::kDataManagerPath, bus::kDataCollection, "Name", int32_t{41}),
              "org.pixtera.Error.E_FAIL 0x80004005: no data item with id 41 (ids are 1 to 2)");
    const std::string display = bus::DisplayPath(0);
    EXPECT_EQ(error(display.c_str(), bus::kManagedDisplay, "AddQueueItem", std::string("a.pxd"), int32_t{5}),
              "org.pixtera.Error.E_FAIL 0x80004005: the queue can only be edited while the display's output is "
              "stopped: call StopOutput first");
    EXPECT_EQ(error(display.c_str(), bus::kManagedDisplay, "QueueFile", int32_t{3}),
              "org.pixtera.Error.E_FAIL 0x80004005: no queue item 3 (the queue has 0 items, numbered from 0)");
    EXPECT_EQ(error(bus::kDisplayManagerPath, bus::kDisplayManager, "Item", int32_t{4}),
              "org.pixtera.Error.E_FAIL 0x80004005: no display 4 (there is 1, numbered from 0)");
    BString file;
    EXPECT_EQ(Display(*manager)->QueueFile(9, file.Out()), E_FAIL) << "the proxies still see the code";
}

TEST_F(RemoteObjects, ValuesChangedCarriesTheIdsOfChangedItemsAndNothingElse)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileData.so"));
    const auto values = TestDirectory() / "values";
    std::ofstream(values) << "Still=1\nTemp=21\n";
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileData\" configuration=\"path=" << values.string()
        << ";interval=100\"><data active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    manager = Connect();

    std::mutex mutex;
    std::vector<std::vector<int32_t>> received;
    auto connection = sdbus::createSessionBusConnection();
    auto data = sdbus::createProxy(*connection, bus::kServiceName, bus::kDataManagerPath);
    data->uponSignal("ValuesChanged").onInterface(bus::kDataCollection).call([&](const std::vector<int32_t>& ids) {
        std::lock_guard lock(mutex);
        received.push_back(ids);
    });
    data->finishRegistration();
    connection->enterEventLoopAsync();
    auto signals = [&] {
        std::lock_guard lock(mutex);
        return received;
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(signals().empty()) << "nothing changes, nothing is said";

    std::ofstream(values, std::ios::trunc) << "Still=1\nTemp=22\n";
    ASSERT_TRUE(Eventually([&] { return !signals().empty(); }, std::chrono::seconds(2)))
        << "within a poll interval and a signal period";
    EXPECT_EQ(signals().front(), std::vector<int32_t>{2}) << "Temp's id, and only it";
    connection->leaveEventLoop();
}

TEST_F(RemoteObjects, ScriptsSetBusDataItemsThatShowOnTheDisplay)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "BusData.so"));
    const auto design = TestDirectory() / "weather.pxd";
    std::ofstream(design) << R"(<Design UpdateFreq="100"><DisplayItems><DisplayItem>)"
                             R"(<Position X="0" Y="0" Width="10" Height="1"/><Appearance Mode="Static"/>)"
                             R"(<Data Mode="Data" Name="weather"/></DisplayItem></DisplayItems></Design>)";
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
        << frames.string() << "\"><display active=\"yes\"><queue><queueitem Filename=\"" << design.string()
        << "\" Runtime=\"0\"/></queue>"
        << "</display></driver><driver clsid=\"Pixtera.BusData\" configuration=\"names=weather, mail\">"
        << "<data active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    manager = Connect();
    auto connection = sdbus::createSessionBusConnection();
    auto feed = sdbus::createProxy(*connection, bus::kServiceName, bus::kFeedPath);
    auto data = sdbus::createProxy(*connection, bus::kServiceName, bus::kDataManagerPath);
    auto set = [&](const std::string& name, const sdbus::Variant& value) {
        try {
            feed->callMethod("SetValue").onInterface(bus::kDataFeed).withArguments(name, value);
        } catch (const sdbus::Error& error) {
            return error.getMessage();
        }
        return std::string("ok");
    };
    auto read = [&](const std::string& name) {
        sdbus::Variant value;
        data->callMethod("Value")
            .onInterface(bus::kDataCollection)
            .withArguments(sdbus::Variant(name))
            .storeResultsTo(value);
        return value;
    };

    ASSERT_EQ(set("weather", sdbus::Variant(std::string("sunny"))), "ok");
    EXPECT_TRUE(Eventually([&] {
        return FileText(frames).find(R"("op":"WriteUnicode","frame":"sunny)") != std::string::npos;
    })) << "shown at the display's next update";

    EXPECT_EQ(set("rain", sdbus::Variant(int32_t{1})),
              "0x80070057: no item rain can be set; the names are weather,mail");
    EXPECT_EQ(set("mail", sdbus::Variant(std::vector<uint8_t>{1})),
              "0x80020005: SetValue takes a number (n, i, u, x, d), a text (s) or a flag (b); got ay");
    EXPECT_EQ(set("mail", sdbus::Variant(std::string(5000, 'x'))),
              "0x80070057: a text fed is at most 4096 bytes; got 5000");
    EXPECT_EQ(set("mail", sdbus::Variant(std::string(4096, 'x'))), "ok");

    const std::vector<sdbus::Variant> samples{sdbus::Variant(int16_t{-7}),
                                              sdbus::Variant(int32_t{70000}),
                                              sdbus::Variant(uint32_t{4000000000u}),
                                              sdbus::Variant(int64_t{1} << 40),
                                              sdbus::Variant(2.5),
                                              sdbus::Variant(std::string("three")),
                                              sdbus::Variant(true)};
    for (const auto& sample : samples) {
        ASSERT_EQ(set("mail", sample), "ok") << sample.peekValueType();
        EXPECT_TRUE(Eventually([&] {
            const auto value = read("mail");
            if (value.peekValueType() != sample.peekValueType())
                return false;
            Variant got;
            Variant sent;
            wire::FromBus(value, got.Out());
            wire::FromBus(sample, sent.Out());
            return got.AsText()->utf8() == sent.AsText()->utf8();
        })) << "round trip of "
            << sample.peekValueType();
    }
}

TEST_F(RemoteObjects, AfterShutdownCallsFailAndANewServiceReadsTheConfigurationAgain)
{
    manager = Connect();
    auto data = Data(*manager);
    ASSERT_EQ(manager->Shutdown(), S_OK);
    ASSERT_TRUE(Eventually([] { return !ServiceOnBus(); }));
    LONG count = 0;
    EXPECT_EQ(data->Count(&count), RPC_E_DISCONNECTED);
    EXPECT_EQ(manager->Shutdown(), RPC_E_DISCONNECTED);

    WriteConfiguration("B:two,C:three");
    auto fresh = Connect();
    ASSERT_TRUE(fresh);
    ASSERT_EQ(Data(*fresh)->Count(&count), S_OK);
    EXPECT_EQ(count, 3);
    manager = fresh;
}

// A client in a process of its own that connects, does `work` with its Manager and then waits
// to be killed; -1 when the work failed.
pid_t ClientProcess(const std::function<bool(IManager&)>& work)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t client = fork();
    if (client == 0) {
        ComPtr<IManager> held;
        const bool ok = CreateInstance(CLSID_Manager, CLSCTX_LOCAL_SERVER, held) == S_OK && work(*held);
        const char answer = ok ? 'y' : 'n';
        (void)!write(ready[1], &answer, 1);
        pause();
        _exit(0);
    }
    char answer = 0;
    const bool worked = read(ready[0], &answer, 1) == 1 && answer == 'y';
    close(ready[0]);
    close(ready[1]);
    if (!worked) {
        kill(client, SIGKILL);
        waitpid(client, nullptr, 0);
        return -1;
    }
    return client;
}

TEST_F(RemoteObjects, ALocalServerEndsWhenItsLastClientIsKilled)
{
    const pid_t client = ClientProcess([](IManager&) { return true; });
    ASSERT_GT(client, 0);
    ASSERT_TRUE(ServiceOnBus());
    kill(client, SIGKILL);
    waitpid(client, nullptr, 0);
    EXPECT_TRUE(Eventually([] { return !ServiceOnBus(); })) << "the killed client's reference was dropped";
}

TEST_F(RemoteObjects, ABorrowedDisplayRunsAgainWhenItsBorrowerReturnsItOrDies)
{
    manager = Connect();
    auto display = Display(*manager);
    auto lease = display.As<IDisplayLease>();
    ASSERT_TRUE(lease);
    VARIANT_BOOL running = 1;
    ASSERT_EQ(lease->BorrowOutput(), S_OK);
    display->IsRunning(&running);
    EXPECT_EQ(running, 0);
    ASSERT_EQ(lease->ReturnOutput(), S_OK);
    display->IsRunning(&running);
    EXPECT_EQ(running, 1);
    EXPECT_EQ(lease->ReturnOutput(), E_FAIL) << "returned already";

    const pid_t borrower =
        ClientProcess([this](IManager& own) { return Display(own).As<IDisplayLease>()->BorrowOutput() == S_OK; });
    ASSERT_GT(borrower, 0);
    display->IsRunning(&running);
    EXPECT_EQ(running, 0);
    kill(borrower, SIGKILL);
    waitpid(borrower, nullptr, 0);
    EXPECT_TRUE(Eventually([&] { return display->IsRunning(&running) == S_OK && running; }, std::chrono::seconds(2)))
        << "the output resumes when the borrower's connection ends";
    display->StopOutput();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    display->IsRunning(&running);
    EXPECT_EQ(running, 0) << "a plain StopOutput keeps its meaning";

    // Lent while stopped: returning it, or its borrower dying, leaves it stopped.
    ASSERT_EQ(lease->BorrowOutput(), S_OK);
    ASSERT_EQ(lease->ReturnOutput(), S_OK);
    display->IsRunning(&running);
    EXPECT_EQ(running, 0) << "returned as it was lent";
    const pid_t second =
        ClientProcess([this](IManager& own) { return Display(own).As<IDisplayLease>()->BorrowOutput() == S_OK; });
    ASSERT_GT(second, 0);
    kill(second, SIGKILL);
    waitpid(second, nullptr, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    display->IsRunning(&running);
    EXPECT_EQ(running, 0) << "a borrower that dies does not start it either";
}

TEST_F(RemoteObjects, AReturnedDisplayNeverKeepsTheBorrowersFrame)
{
    // The display's queue is empty: it shows its greeting, before and after it is lent.
    manager = Connect();
    auto display = Display(*manager);
    auto lease = display.As<IDisplayLease>();
    ComPtr<IDisplayDriver> driver;
    ASSERT_EQ(display->GetDriver(driver.Out()), S_OK);
    const auto current = frames.string() + ".frame";
    auto shows = [&](const std::string& text) {
        return Eventually([&] { return FileText(current).find(text) != std::string::npos; });
    };
    ASSERT_TRUE(shows("Welcome  to")) << FileText(current);
    auto borrowAndDraw = [&](const std::string& drawn) {
        ASSERT_EQ(lease->BorrowOutput(), S_OK);
        ASSERT_EQ(driver->Write(BString(std::string_view(drawn)).get()), S_OK);
        ASSERT_TRUE(shows(drawn)) << FileText(current);
    };

    borrowAndDraw("Designer's design");
    ASSERT_EQ(lease->ReturnOutput(), S_OK);
    EXPECT_TRUE(shows("Welcome  to")) << "the empty queue's greeting, not a design in no queue: " << FileText(current);

    // The borrower dies instead of returning it: the same.
    const pid_t borrower = ClientProcess([this](IManager& own) {
        ComPtr<IManagedDisplay> lent = Display(own);
        ComPtr<IDisplayDriver> output;
        return lent.As<IDisplayLease>()->BorrowOutput() == S_OK && lent->GetDriver(output.Out()) == S_OK &&
               output->Write(BString(std::string_view("Dead designer's")).get()) == S_OK;
    });
    ASSERT_GT(borrower, 0);
    ASSERT_TRUE(shows("Dead designer's"));
    kill(borrower, SIGKILL);
    waitpid(borrower, nullptr, 0);
    EXPECT_TRUE(shows("Welcome  to")) << FileText(current);

    // Lent while stopped: it stays stopped, showing its own last frame again.
    ASSERT_EQ(display->StopOutput(), S_OK);
    borrowAndDraw("On a stopped one");
    ASSERT_EQ(lease->ReturnOutput(), S_OK);
    EXPECT_TRUE(shows("Welcome  to")) << FileText(current);
    VARIANT_BOOL running = 1;
    display->IsRunning(&running);
    EXPECT_EQ(running, 0);
}

TEST_F(RemoteObjects, AClientThatDiesInTheMiddleOfACallLeavesTheServiceServing)
{
    // The provider answers on request and takes a second and a half for its second poll.
    std::ofstream(configuration())
        << "<PixteraConfiguration><drivers><driver clsid=\"PixteraTest.ScriptedProvider\" "
           "configuration=\"mode=1;items=Slow:1;hangon=GetValue@2;hangms=1500\"><data active=\"yes\"/></driver>"
           "</drivers></PixteraConfiguration>";
    manager = Connect();
    ASSERT_TRUE(manager);
    const pid_t client = fork();
    if (client == 0) {
        ComPtr<IManager> own;
        if (CreateInstance(CLSID_Manager, CLSCTX_LOCAL_SERVER, own) == S_OK) {
            Variant value;
            Data(*own)->Value(Variant::FromUtf8("Slow"), value.Out()); // killed while this waits
        }
        _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(client, SIGKILL);
    waitpid(client, nullptr, 0);
    Variant value;
    ASSERT_EQ(Data(*manager)->Value(Variant::FromUtf8("Slow"), value.Out()), S_OK) << "still serving";
    EXPECT_EQ(value.vt, VT_R8);
    EXPECT_TRUE(ServiceOnBus());
}

TEST_F(RemoteObjects, OleRunSucceedsForRunningObjects)
{
    manager = Connect();
    EXPECT_EQ(OleRun(manager.get()), S_OK);
    EXPECT_EQ(OleRun(nullptr), E_INVALIDARG);
}

} // namespace

namespace {

TEST_F(RemoteObjects, ScriptsSwitchTheBacklightOfAnIsolatedDisplayAndHearOfIt)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "DispatchWrapper.so"));
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" DispatchWrap=\"yes\" "
           "configuration=\"path="
        << frames.string() << "\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    manager = Connect();
    ASSERT_TRUE(manager);
    // Signals on a connection of their own with its event loop, calls on another: an sd-bus
    // connection serves one thread at a time.
    auto signals = sdbus::createSessionBusConnection();
    auto watched = sdbus::createProxy(*signals, bus::kServiceName, bus::DisplayPath(0));
    auto connection = sdbus::createSessionBusConnection();
    auto display = sdbus::createProxy(*connection, bus::kServiceName, bus::DisplayPath(0));
    std::mutex mutex;
    std::vector<bool> announced;
    watched->uponSignal("PropertiesChanged")
        .onInterface("org.freedesktop.DBus.Properties")
        .call([&](const std::string& interface, const std::map<std::string, sdbus::Variant>& changed,
                  const std::vector<std::string>&) {
            std::lock_guard lock(mutex);
            if (interface == bus::kDisplayPower && changed.count("Backlight"))
                announced.push_back(changed.at("Backlight").get<bool>());
        });
    watched->finishRegistration();
    signals->enterEventLoopAsync();

    display->callMethod("SetBacklight").onInterface(bus::kDisplayPower).withArguments(false);
    EXPECT_TRUE(Eventually([&] {
        return FileText(frames).find(R"("op":"SetBacklight","on":false)") != std::string::npos;
    })) << "through the plug-in's host process";
    EXPECT_FALSE(display->getProperty("Backlight").onInterface(bus::kDisplayPower).get<bool>());
    EXPECT_FALSE(display->getProperty("Blanked").onInterface(bus::kDisplayPower).get<bool>());
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard lock(mutex);
        return announced == std::vector<bool>{false};
    }));
    try {
        display->callMethod("SetBrightness").onInterface(bus::kDisplayPower).withArguments(std::uint8_t{150});
        ADD_FAILURE() << "150 % was taken";
    } catch (const sdbus::Error& error) {
        EXPECT_NE(error.getMessage().find("0 to 100"), std::string::npos) << error.getMessage();
    }
    signals->leaveEventLoop();
}

} // namespace

namespace {

TEST_F(RemoteObjects, TheDesignerLearnsAModulesCharacterRomEvenFromAPluginInItsOwnProcess)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "DispatchWrapper.so"));
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "HD44780I2C.so"));
    // No module answers on bus 250: the driver still knows its ROM.
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers>"
           "<driver clsid=\"Pixtera.HD44780I2C\" DispatchWrap=\"yes\" configuration=\"bus=250;rom=a02\"><display "
           "active=\"yes\"/></driver>"
           "<driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
        << frames.string() << "\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    manager = Connect();
    ASSERT_TRUE(manager);
    ComPtr<IDisplayManager> displays;
    ASSERT_EQ(manager->GetDisplayManager(displays.Out()), S_OK);
    auto romOf = [&](LONG index, BString& rom) {
        ComPtr<IManagedDisplay> display;
        EXPECT_EQ(displays->Item(index, display.Out()), S_OK);
        ComPtr<IDisplayDriver> driver;
        EXPECT_EQ(display->GetDriver(driver.Out()), S_OK);
        auto characterSet = driver.As<IDisplayCharacterSet>();
        return characterSet ? characterSet->GetRom(rom.Out()) : E_NOINTERFACE;
    };
    BString rom(std::string_view("poison"));
    ASSERT_EQ(romOf(0, rom), S_OK);
    EXPECT_EQ(rom.utf8(), "a02");
    BString none(std::string_view("poison"));
    EXPECT_EQ(romOf(1, none), E_NOINTERFACE) << "a file display has no ROM";
    EXPECT_EQ(none.get(), nullptr) << "no text is left behind on failure";
}

} // namespace

namespace {

TEST_F(RemoteObjects, ScriptsJumpToAQueueItemAndHearWhichOneShows)
{
    std::string queue;
    for (const std::string name : {"first", "second", "third"}) {
        const auto design = TestDirectory() / (name + ".pxd");
        std::ofstream(design) << R"(<Design><DisplayItems><DisplayItem>)"
                                 R"(<Position X="0" Y="0" Width="10" Height="1"/><Appearance Mode="Static"/>)"
                                 R"(<Data Mode="Static" Text=")"
                              << name << R"("/></DisplayItem></DisplayItems></Design>)";
        queue += "<queueitem Filename=\"" + design.string() + "\" Runtime=\"3600\"/>";
    }
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
        << frames.string() << "\"><display active=\"yes\"><queue>" << queue
        << "</queue></display></driver></drivers></PixteraConfiguration>";
    manager = Connect();
    ASSERT_TRUE(manager);
    auto signals = sdbus::createSessionBusConnection();
    auto watched = sdbus::createProxy(*signals, bus::kServiceName, bus::DisplayPath(0));
    auto connection = sdbus::createSessionBusConnection();
    auto display = sdbus::createProxy(*connection, bus::kServiceName, bus::DisplayPath(0));
    std::mutex mutex;
    std::vector<int32_t> announced;
    watched->uponSignal("PropertiesChanged")
        .onInterface("org.freedesktop.DBus.Properties")
        .call([&](const std::string& interface, const std::map<std::string, sdbus::Variant>& changed,
                  const std::vector<std::string>&) {
            std::lock_guard lock(mutex);
            if (interface == bus::kManagedDisplay && changed.count("ShownQueueItem"))
                announced.push_back(changed.at("ShownQueueItem").get<int32_t>());
        });
    watched->finishRegistration();
    signals->enterEventLoopAsync();
    auto shown = [&] {
        return display->getProperty("ShownQueueItem").onInterface(bus::kManagedDisplay).get<int32_t>();
    };
    ASSERT_TRUE(Eventually([&] { return shown() == 0; }));

    display->callMethod("ShowQueueItem").onInterface(bus::kManagedDisplay).withArguments(int32_t{2}, std::uint32_t{60});
    EXPECT_TRUE(Eventually([&] {
        return FileText(frames).find(R"("op":"WriteUnicode","frame":"third)") != std::string::npos;
    })) << "shown at once, an hour before its turn";
    EXPECT_EQ(shown(), 2);
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard lock(mutex);
        return !announced.empty() && announced.back() == 2;
    }));

    for (const int32_t index : {-1, 3}) {
        try {
            display->callMethod("ShowQueueItem")
                .onInterface(bus::kManagedDisplay)
                .withArguments(index, std::uint32_t{0});
            ADD_FAILURE() << index << " was taken";
        } catch (const sdbus::Error& error) {
            EXPECT_EQ(error.getMessage(), "0x80070057: no queue item " + std::to_string(index) +
                                              " (the queue has 3 items, numbered from 0)");
        }
    }
    EXPECT_EQ(shown(), 2) << "a refused jump changes nothing, and the service still answers";
    signals->leaveEventLoop();
}

} // namespace

namespace {

TEST_F(RemoteObjects, ScriptsReadWhetherADisplaysModuleIsLinkedAndHearWhenItIsLostAndBack)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "DispatchWrapper.so"));
    // Display 0's frame file is its link; display 1 runs in a process of its own and says the
    // same through its host.
    const auto directory = TestDirectory() / "screen";
    const auto away = TestDirectory() / "screen-away";
    std::filesystem::create_directories(directory);
    // Its text moves: the frames written find the file gone (a still screen sends nothing).
    const auto scroller = TestDirectory() / "scroller.pxd";
    std::ofstream(scroller)
        << R"(<Design UpdateFreq="200"><DisplayItems><DisplayItem>)"
           R"(<Position X="0" Y="0" Width="20" Height="1"/><Appearance Mode="RightToLeft" ScrollDelay="200"/>)"
           R"(<Data Mode="Static" Text="0123456789"/></DisplayItem></DisplayItems></Design>)";
    std::ofstream(configuration(), std::ios::trunc)
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
        << (directory / "frames.jsonl").string() << "\"><display active=\"yes\"><queue><queueitem Filename=\""
        << scroller.string()
        << "\" Runtime=\"0\"/></queue></display></driver><driver clsid=\"Pixtera.FileDisplay\" DispatchWrap=\"yes\" "
           "configuration=\"path="
        << (directory / "hosted.jsonl").string()
        << "\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    manager = Connect();
    ASSERT_TRUE(manager);
    auto signals = sdbus::createSessionBusConnection();
    auto watched = sdbus::createProxy(*signals, bus::kServiceName, bus::DisplayPath(0));
    auto connection = sdbus::createSessionBusConnection();
    auto display = sdbus::createProxy(*connection, bus::kServiceName, bus::DisplayPath(0));
    auto hosted = sdbus::createProxy(*connection, bus::kServiceName, bus::DisplayPath(1));
    std::mutex mutex;
    std::vector<std::pair<bool, std::int64_t>> announced;
    watched->uponSignal("PropertiesChanged")
        .onInterface("org.freedesktop.DBus.Properties")
        .call([&](const std::string& interface, const std::map<std::string, sdbus::Variant>& changed,
                  const std::vector<std::string>&) {
            std::lock_guard lock(mutex);
            if (interface == bus::kManagedDisplay && changed.count("Linked") && changed.count("OutageSince"))
                announced.emplace_back(changed.at("Linked").get<bool>(), changed.at("OutageSince").get<std::int64_t>());
        });
    watched->finishRegistration();
    signals->enterEventLoopAsync();
    const auto linkOf = [](sdbus::IProxy& object) {
        return std::make_pair(object.getProperty("Linked").onInterface(bus::kManagedDisplay).get<bool>(),
                              object.getProperty("OutageSince").onInterface(bus::kManagedDisplay).get<std::int64_t>());
    };
    const auto lastAnnounced = [&] {
        std::lock_guard lock(mutex);
        return announced.empty() ? std::make_pair(true, std::int64_t{-1}) : announced.back();
    };
    const auto seconds = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    EXPECT_EQ(linkOf(*display), std::make_pair(true, std::int64_t{0}));
    EXPECT_EQ(linkOf(*hosted), std::make_pair(true, std::int64_t{0}));

    const auto before = seconds();
    std::filesystem::rename(directory, away);
    ASSERT_TRUE(Eventually([&] { return !lastAnnounced().first; })) << "announced within a second or so";
    const auto after = seconds();
    const auto [linked, since] = linkOf(*display);
    EXPECT_FALSE(linked);
    EXPECT_EQ(since, lastAnnounced().second) << "read as announced";
    EXPECT_GE(since, before);
    EXPECT_LE(since, after);
    EXPECT_TRUE(Eventually([&] { return !linkOf(*hosted).first; })) << "a hosted driver says it too";
    EXPECT_GE(linkOf(*hosted).second, before);

    // The same through the display's proxy.
    ComPtr<IDisplayManager> displays;
    ASSERT_EQ(manager->GetDisplayManager(displays.Out()), S_OK);
    ComPtr<IManagedDisplay> managed;
    ASSERT_EQ(displays->Item(0, managed.Out()), S_OK);
    const auto proxyLink = managed.As<IDisplayLinkState>();
    ASSERT_TRUE(proxyLink);
    VARIANT_BOOL proxyLinked = VARIANT_TRUE;
    LONGLONG proxySince = -1;
    ASSERT_EQ(proxyLink->GetLinkState(&proxyLinked, &proxySince), S_OK);
    EXPECT_EQ(proxyLinked, VARIANT_FALSE);
    EXPECT_EQ(proxySince, since);

    std::filesystem::rename(away, directory);
    EXPECT_TRUE(Eventually([&] { return lastAnnounced() == std::make_pair(true, std::int64_t{0}); }));
    EXPECT_EQ(linkOf(*display), std::make_pair(true, std::int64_t{0}));
    EXPECT_TRUE(Eventually([&] { return linkOf(*hosted) == std::make_pair(true, std::int64_t{0}); }));
    ASSERT_EQ(proxyLink->GetLinkState(&proxyLinked, &proxySince), S_OK);
    EXPECT_EQ(proxyLinked, VARIANT_TRUE);
    EXPECT_EQ(proxySince, 0);
    signals->leaveEventLoop();
}

} // namespace
