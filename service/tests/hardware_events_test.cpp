// SPDX-License-Identifier: MIT
// Hot-plug and resume reaching a native module: a serial module whose port appears after the
// service started gets its frame as soon as udev announces the port (a stand-in calls what the
// udev monitor calls), and a wake-up announced by a fake logind on a system bus of the test's own
// has it initialised again with its user characters and whole frame.

#include "fake_logind.h"
#include "hardware_events.h"
#include "logind_monitor.h"
#include "private_bus.h"
#include "pty_port.h"
#include "service_fixture.h"

#include <pixtera/sdk/display_driver.h>

#include <gtest/gtest.h>

namespace pixtera::test {
namespace {

using lcd::test::PtyPort;
using lcd::test::SerialLcdModel;

class HardwareEventsTest : public ServiceFixture {
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "SerialLCD.so"));
    }

    PrivateBus systemBus{PrivateBus::Kind::System};
};

TEST_F(HardwareEventsTest, AModulePluggedInLaterGetsItsFrameAndAWakeUpInitialisesItAgain)
{
    PtyPort port;
    const auto node = TestDirectory() / "ttyLCD"; // not there yet
    std::filesystem::remove(node);
    ASSERT_TRUE(Load(Driver("Pixtera.SerialLCD", "device=" + node.string() + ";columns=16;rows=2", "")));
    HardwareEvents events(*driverManager);
    FakeLogind logind;
    auto monitor = LogindMonitor::Start();
    ASSERT_TRUE(monitor);
    monitor->Subscribe({[&events](bool sleeping) {
                            if (!sleeping)
                                events.Resumed();
                        },
                        nullptr});

    const auto display = driverManager->At(0)->object.As<IDisplayDriver>();
    ASSERT_TRUE(display);
    display->SetCustomChar(1, 1, 2, 3, 4, 5, 6, 7, 8);
    const std::u16string frame = u"plugged in      second row \x09    ";
    const std::string shown = "plugged in      second row \x01    ";
    ASSERT_EQ(display->Write(BString(frame).get()), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the writer finds no port and waits

    std::filesystem::create_symlink(port.path(), node);
    events.DeviceAppeared(node.string());
    SerialLcdModel plugged(16, 2);
    const auto start = std::chrono::steady_clock::now();
    port.ReadInto(plugged, [&] { return plugged.screen() == shown; });
    EXPECT_EQ(plugged.screen(), shown);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "not the half-minute retry";

    SerialLcdModel woken(16, 2); // powered off while the machine slept: garbage, no user characters
    logind.PrepareForSleep(true);
    port.ReadInto(
        woken, [] { return false; }, 300);
    EXPECT_EQ(woken.screen(), std::string(32, '?')) << "going to sleep sends nothing";
    logind.PrepareForSleep(false);
    port.ReadInto(woken, [&] { return woken.screen() == shown && woken.GlyphOf(1)[7] == 8; });
    EXPECT_EQ(woken.screen(), shown);
    EXPECT_EQ(woken.GlyphOf(1), (lcd::Glyph{1, 2, 3, 4, 5, 6, 7, 8}));
}

} // namespace
} // namespace pixtera::test
