// SPDX-License-Identifier: MIT
#include "creation_failure.h"

#include "service_fixture.h"
#include <pixtera/platform/guid.h>
#include <pixtera/platform/registry.h>

namespace {

using namespace pixtera;
using namespace pixtera::test;

using ConfigurationLoader = ServiceFixture;

TEST_F(ConfigurationLoader, AFailingDriverIsLeftOutAndTheNextGetsItsIndex)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.RecordingDisplay", "", "") + Driver("Not.Registered", "", kDisplay) +
                     Driver("PixteraTest.ScriptedProvider", "items=X:1", kData)));
    ASSERT_EQ(driverManager->Size(), 2);
    EXPECT_EQ(driverManager->At(1)->className, u"PixteraTest.ScriptedProvider");
    EXPECT_EQ(ReadText(u"X"), "1");
    LONG count = 0;
    displayManager->Count(&count);
    EXPECT_EQ(count, 0);

    ComPtr<IDispatch> item;
    EXPECT_EQ(driverManager->Item(2, item.Out()), E_FAIL);
    EXPECT_EQ(driverManager->Item(-1, item.Out()), E_FAIL);
    EXPECT_EQ(driverManager->Item(0, item.Out()), E_NOINTERFACE) << "the query's own failure";
}

TEST_F(ConfigurationLoader, CapabilitySwitchesAreOnOnlyForExactlyYes)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "items=Y:1",
                            R"(<display active="Yes"/><data active="yes "/><action active="yes"/><event/>)")));
    const auto& capabilities = driverManager->At(0)->capabilities;
    EXPECT_FALSE(capabilities.display);
    EXPECT_FALSE(capabilities.data);
    EXPECT_TRUE(capabilities.action);
    EXPECT_FALSE(capabilities.event);
    EXPECT_EQ(ReadText(u"Y"), "Error");
}

TEST_F(ConfigurationLoader, ADriverCanBeDisplayAndDataAndTwoEntriesMakeTwoObjects)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "items=Z:5", kDisplay + kData) +
                     Driver("PixteraTest.ScriptedProvider", "items=W:6", kDisplay)));
    LONG count = 0;
    displayManager->Count(&count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(ReadText(u"Z"), "5");
    EXPECT_NE(driverManager->At(0)->object.get(), driverManager->At(1)->object.get());
    for (const auto& display : displayManager->Displays()) {
        VARIANT_BOOL running = 0;
        display->IsRunning(&running);
        EXPECT_EQ(running, 1) << "displays are started after the load";
    }
}

TEST_F(ConfigurationLoader, DriversAreCreatedAndConfiguredOnTheirOwnHostThreads)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.RecordingDisplay", "columns=16;rows=2", kDisplay)));
    const auto calls = RecordedCalls(driverManager->At(0)->object.get(), true);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].substr(0, calls[0].rfind(" @")), "Configure columns=16;rows=2");
    EXPECT_NE(calls[0].substr(calls[0].rfind(" @")), ThreadTag()) << "configured on the host thread";
    EXPECT_EQ(calls[1], "LoaderQuery" + ThreadTag()) << "then asked on the loading thread";
    EXPECT_EQ(calls[2], "GetCharHeight" + ThreadTag());
}

TEST_F(ConfigurationLoader, AMissingClsidCutsTheLoadShort)
{
    EXPECT_FALSE(Load(Driver("PixteraTest.ScriptedProvider", "items=A:1", kDisplay + kData) +
                      R"(<driver configuration=""/>)" + Driver("PixteraTest.ScriptedProvider", "items=B:1", kData)));
    EXPECT_EQ(driverManager->Size(), 1);
    EXPECT_EQ(ReadText(u"A"), "1") << "what was made stays";
    EXPECT_EQ(ReadText(u"B"), "Error");
    VARIANT_BOOL running = 1;
    displayManager->Displays()[0]->IsRunning(&running);
    EXPECT_EQ(running, 0) << "no display is started";
}

TEST_F(ConfigurationLoader, WrappedDriversNeedTheWrapperClass)
{
    EXPECT_TRUE(
        Load(R"(<driver clsid="PixteraTest.ScriptedProvider" DispatchWrap="yes"><data active="yes"/></driver>)" +
             Driver("PixteraTest.ScriptedProvider", "items=After:1", kData)));
    EXPECT_EQ(driverManager->Size(), 1) << "without DispatchWrapper.core the wrapped driver is skipped";
    EXPECT_EQ(ReadText(u"After"), "1");
}

TEST_F(ConfigurationLoader, MissingAndMalformedFilesCreateNothingAndStillFinish)
{
    EXPECT_TRUE(LoadConfigurationFile(TestDirectory() / "none.xml", *driverManager, *dataManager, *displayManager));
    const auto broken = TestDirectory() / "broken.xml";
    std::ofstream(broken) << "<PixteraConfiguration><drivers>";
    EXPECT_TRUE(LoadConfigurationFile(broken, *driverManager, *dataManager, *displayManager));
    EXPECT_EQ(driverManager->Size(), 0);
}

TEST_F(ConfigurationLoader, QueueItemsAreReadAndIncompleteOnesDropped)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.RecordingDisplay", "",
                            R"(<display active="yes"><queue><queueitem Filename="a.pxd" Runtime="5"/>)"
                            R"(<queueitem Filename="b.pxd"/><queueitem Filename="c.pxd" Runtime="x"/>)"
                            R"(<queueitem Runtime="3"/><queueitem Filename="d.pxd" Runtime="0"/></queue></display>)")));
    auto display = displayManager->Displays().at(0);
    display->StopOutput();
    LONG count = 0;
    display->QueueCount(&count);
    ASSERT_EQ(count, 2);
    BString file;
    display->QueueFile(1, file.Out());
    EXPECT_EQ(file.view(), u"d.pxd");
    LONG seconds = -1;
    display->QueueDuration(1, &seconds);
    EXPECT_EQ(seconds, 0);
}

TEST_F(ConfigurationLoader, DataManagerWithNoProvidersCountsNothing)
{
    ASSERT_TRUE(Load(""));
    LONG count = -1;
    ASSERT_EQ(dataManager->Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    ComPtr<IDataCollection> collection;
    ASSERT_EQ(dataManager->GetDataCollection(collection.Out()), S_OK);
    EXPECT_EQ(static_cast<void*>(collection.get()),
              static_cast<void*>(static_cast<IDataCollection*>(dataManager.get())));
}

} // namespace

namespace {

using namespace pixtera;
using namespace pixtera::test;

TEST(CreationFailure, TheReasonNamesTheCause)
{
    EXPECT_NE(CreationFailureReason(u"No.Such.Plugin", REGDB_E_CLASSNOTREG, false).find("ProgID is not registered"),
              std::string::npos);
    EXPECT_EQ(CreationFailureReason(u"Any.Plugin", E_FAIL, true),
              "the plug-in threw while it was created or configured");

    const auto copy = TestDirectory() / "vanishing.so";
    std::filesystem::copy_file(TestModuleDirectory() / "test-recording-display.so", copy);
    ASSERT_TRUE(RegisterModule(copy));
    std::filesystem::remove(copy);
    EXPECT_EQ(CreationFailureReason(u"PixteraTest.RecordingDisplay", REGDB_E_CLASSNOTREG, false),
              "its module " + copy.string() + " is missing");

    // A module file that is no shared object (at a path not loaded before).
    const auto garbage = TestDirectory() / "garbage.so";
    std::ofstream(garbage) << "not a shared object";
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"PixteraTest.RecordingDisplay", &clsid), S_OK);
    RegKey server;
    ASSERT_EQ(server.Create(HKEY_CLASSES_ROOT, "CLSID\\" + FormatGuid(clsid) + "\\InprocServer32"), ERROR_SUCCESS);
    ASSERT_EQ(server.SetString("", garbage.string()), ERROR_SUCCESS);
    EXPECT_NE(CreationFailureReason(u"PixteraTest.RecordingDisplay", E_FAIL, false).find("cannot be loaded: "),
              std::string::npos);
}

} // namespace
