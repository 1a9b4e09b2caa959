// SPDX-License-Identifier: MIT
// Pixtera.LCD2USB as the service meets it: its settings and geometry, and an interface that is not
// plugged in said once.

#include "captured_log.h"
#include "plugin_test.h"
#include "test_environment.h"

#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_settings.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

TEST(Lcd2UsbPlugin, TakesItsGeometryAndSaysOnceThatNoInterfaceIsThere)
{
    test::CapturedLog log;
    const auto info = test::CreatePlugin<IPluginInfo>("LCD2USB.so", u"Pixtera.LCD2USB");
    ASSERT_TRUE(info);
    ASSERT_EQ(info->Configure(BString(std::u16string_view(u"device=auto:9-9.9;columns=40;rows=4")).get()), S_OK);
    auto display = info.As<IDisplayDriver>();
    ASSERT_TRUE(display);
    LONG columns = 0;
    LONG rows = 0;
    display->GetColumns(&columns);
    display->GetRows(&rows);
    EXPECT_EQ(columns, 40);
    EXPECT_EQ(rows, 4);
    EXPECT_TRUE(info.As<IDisplayInput>());
    LONG caps = 0;
    ASSERT_EQ(info.As<IDisplayPower>()->GetPowerCaps(&caps), S_OK);
    EXPECT_EQ(caps, kPowerBacklight | kPowerBrightness);
    LONG count = 0;
    info.As<IPluginSettings>()->GetSettingCount(&count);
    EXPECT_EQ(count, 8);
    display->Write(BString(std::u16string_view(u"hello")).get());
    EXPECT_TRUE(test::Eventually([&] { return log.Contains("no LCD2USB (0403:c630) at 9-9.9"); })) << log.Text();
    EXPECT_EQ(log.Count("no LCD2USB"), 1) << "said once for the outage";
}

} // namespace
