// SPDX-License-Identifier: MIT
// A native driver answers IDisplayLinkState with its writer's link: up, or down since its loss.

#include "fake_device.h"
#include "lcd_display_link_state.h"
#include "serial_lcd_protocol.h"
#include "test_environment.h"

#include <pixtera/platform/com_object.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

// A 16 x 2 serial display on a fake device that the test may unplug. The device is shared with
// the writer's opener, which may still run while the driver's own members are gone.
class FakeDriver final : public ComObject<FakeDriver, LcdDisplayDriver<FakeDriver>, LcdDisplayLinkState<FakeDriver>> {
public:
    WriterSetup Describe(const ConfigurationText&, std::vector<std::string>&)
    {
        WriterSetup setup;
        setup.name = "Test display";
        setup.device = "the fake";
        setup.open = [plug = plug_](std::string& error) -> std::optional<DeviceLink> {
            std::lock_guard lock(plug->mutex);
            auto link = plug->device.Open();
            if (!link)
                error = "No such device";
            return link;
        };
        setup.protocol = std::make_shared<SerialLcdProtocol>(SerialLcdOptions{});
        setup.geometry = {16, 2};
        setup.sleep = [](std::chrono::microseconds) {};
        setup.retry = 5ms;
        return setup;
    }

    void Unplug()
    {
        std::lock_guard lock(plug_->mutex);
        plug_->device.Unplug();
    }

private:
    struct Plug {
        std::mutex mutex; // guards device
        FakeDevice device;
    };
    const std::shared_ptr<Plug> plug_ = std::make_shared<Plug>();
};

std::pair<VARIANT_BOOL, LONGLONG> StateOf(IDisplayLinkState& link)
{
    VARIANT_BOOL linked = 2;
    LONGLONG since = -1;
    EXPECT_EQ(link.GetLinkState(&linked, &since), S_OK);
    return {linked, since};
}

TEST(LcdDisplayLinkState, LinkedWithoutAnOutageThenDownSinceItsLossInEpochSeconds)
{
    auto driver = MakeComObject<FakeDriver>();
    const ComPtr<IDisplayLinkState> link = driver.As<IDisplayLinkState>();
    ASSERT_TRUE(link);
    EXPECT_EQ(StateOf(*link), std::make_pair(VARIANT_FALSE, LONGLONG{0})) << "not configured: never linked";
    driver->Configured(ConfigurationText(""), "");
    ASSERT_TRUE(pixtera::test::Eventually([&] { return StateOf(*link).first == VARIANT_TRUE; }));
    EXPECT_EQ(StateOf(*link).second, 0);

    const auto Seconds = [](std::chrono::system_clock::time_point at) {
        return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
    };
    const auto before = Seconds(std::chrono::system_clock::now());
    driver->Unplug();
    ASSERT_EQ(driver->Write(BString(std::string_view("lost on the way")).get()), S_OK);
    ASSERT_TRUE(pixtera::test::Eventually([&] { return StateOf(*link).first == VARIANT_FALSE; }));
    const auto after = Seconds(std::chrono::system_clock::now());
    const LONGLONG since = StateOf(*link).second;
    EXPECT_GE(since, before);
    EXPECT_LE(since, after);

    VARIANT_BOOL linked = 0;
    LONGLONG ignored = 0;
    EXPECT_EQ(link->GetLinkState(nullptr, &ignored), E_POINTER);
    EXPECT_EQ(link->GetLinkState(&linked, nullptr), E_POINTER);
}

} // namespace
