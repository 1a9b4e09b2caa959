// SPDX-License-Identifier: MIT
// Faults of plug-ins and files, and what the service does about them.

#include "service_fixture.h"

#include "managed_display.h"

#include <pixtera/sdk/plugin_info.h>

#include <chrono>

namespace {

using namespace pixtera;
using namespace pixtera::test;

using FaultInjection = ServiceFixture;

const std::string kWarning = "Warning|PixteraTest.ScriptedProvider has caused an exception! Removal of this plugin "
                             "and a restart of pixtera is recommended!";

class ThrowingOperation : public ServiceFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(ThrowingOperation, TheProviderIsIsolatedAndReportedOnce)
{
    MessageCapture messages;
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider",
                            std::string("mode=2;interval=20;items=A:1;throwon=") + GetParam() + "@1", kData) +
                     Driver("PixteraTest.ScriptedProvider", "mode=2;interval=100000;items=Other:ok", kData)))
        << "the load goes on";
    const std::string a = ReadText(u"A");
    EXPECT_TRUE(a == "Plugin died" || a == "Error") << a;
    EXPECT_EQ(ReadText(u"Other"), "ok#1") << "the next provider works";
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(messages.messages(), std::vector<std::string>{kWarning});
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, ThrowingOperation,
                         ::testing::Values("GetUpdateMode", "GetInterval", "Refresh", "GetCount", "GetName",
                                           "GetDescription", "GetValue"));

TEST_F(FaultInjection, ADisplayDriverThatThrowsInLoaderQueryIsFaultedOnceAndNeverCalledAgain)
{
    MessageCapture messages;
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "items=A:1;throwon=LoaderQuery@1", kDisplay) +
                     Driver("PixteraTest.ScriptedProvider", "mode=2;interval=100000;items=Other:ok", kData)))
        << "the load goes on";
    IUnknown* display = driverManager->At(0)->object.get();
    EXPECT_EQ(ReadText(u"Other"), "ok#1");
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(CountOf(RecordedCalls(display), "Write"), 0) << "no greeting, no frame: it faulted";
    EXPECT_EQ(messages.messages(), std::vector<std::string>{kWarning}) << "the one plug-in fault message";
}

TEST_F(FaultInjection, AHangingPollNeverHoldsUpReadersOfCachedValues)
{
    ASSERT_TRUE(Load(
        Driver("PixteraTest.ScriptedProvider", "mode=2;interval=10;items=A:x;hangon=GetValue@2;hangms=1500", kData)));
    IUnknown* provider = driverManager->At(0)->object.get();
    std::vector<std::string> calls;
    // Wait until the second poll is inside its hanging GetValue.
    for (int i = 0; i < 500 && CountOf(calls, "GetValue") < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        auto more = RecordedCalls(provider);
        calls.insert(calls.end(), more.begin(), more.end());
    }
    ASSERT_EQ(CountOf(calls, "GetValue"), 2);
    EXPECT_EQ(ReadText(u"A"), "x#1") << "served from the cache while the plug-in hangs";
}

TEST_F(FaultInjection, ADesignFileThatBreaksBetweenTwoStartsShowsABlankFrame)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.RecordingDisplay", "columns=8;rows=1", kDisplay)));
    auto display = displayManager->Displays().at(0);
    display->StopOutput();
    const auto design = TestDirectory() / "changing.pxd";
    std::ofstream(design)
        << R"(<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="8" Height="1"/>)"
           R"(<Appearance Mode="Static"/><Data Mode="Static" Text="before"/></DisplayItem></DisplayItems></Design>)";
    display->AddQueueItem(BString(design.string()).get(), 0);
    IUnknown* driver = driverManager->At(0)->object.get();
    auto writes = [&] {
        std::vector<std::string> found;
        for (const auto& call : RecordedCalls(driver))
            if (call.rfind("Write ", 0) == 0)
                found.push_back(call);
        return found;
    };
    writes();
    auto showOnce = [&](const std::string& expected) {
        ASSERT_EQ(display->StartOutput(), S_OK);
        std::vector<std::string> seen;
        for (int i = 0; i < 500 && seen.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            seen = writes();
        }
        ASSERT_EQ(display->StopOutput(), S_OK);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front(), "Write " + expected);
    };
    showOnce("before  ");
    std::ofstream(design, std::ios::trunc) << "\x01 not a design \xff";
    showOnce("        ");
    std::filesystem::remove(design);
    showOnce("        ");
}

} // namespace
