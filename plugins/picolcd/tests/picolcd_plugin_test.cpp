// SPDX-License-Identifier: MIT
// Pixtera.PicoLCD as the service meets it: its settings, and what it does with a node that is not
// its module.

#include "captured_log.h"
#include "plugin_test.h"
#include "test_environment.h"

#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_settings.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace {

using namespace pixtera;

TEST(PicoLcdPlugin, IsATwentyByTwoDisplayWithKeysBacklightAndBrightness)
{
    const auto info = test::CreatePlugin<IPluginInfo>("PicoLCD.so", u"Pixtera.PicoLCD");
    ASSERT_TRUE(info);
    ASSERT_EQ(info->Configure(BString(std::u16string_view(u"device=auto:9-9.9")).get()), S_OK);
    auto display = info.As<IDisplayDriver>();
    ASSERT_TRUE(display);
    LONG columns = 0;
    LONG rows = 0;
    display->GetColumns(&columns);
    display->GetRows(&rows);
    EXPECT_EQ(columns, 20);
    EXPECT_EQ(rows, 2);
    EXPECT_TRUE(info.As<IDisplayInput>());
    LONG caps = 0;
    ASSERT_EQ(info.As<IDisplayPower>()->GetPowerCaps(&caps), S_OK);
    EXPECT_EQ(caps, kPowerBacklight | kPowerBrightness);
    LONG count = 0;
    info.As<IPluginSettings>()->GetSettingCount(&count);
    EXPECT_EQ(count, 7);
}

TEST(PicoLcdPlugin, ANodeThatIsNotTheModuleIsNeverWrittenTo)
{
    test::CapturedLog log;
    const auto info = test::CreatePlugin<IPluginInfo>("PicoLCD.so", u"Pixtera.PicoLCD");
    ASSERT_TRUE(info);
    // /dev/null takes every write: the ids are asked first, and it has none.
    ASSERT_EQ(info->Configure(BString(std::u16string_view(u"device=/dev/null")).get()), S_OK);
    info.As<IDisplayDriver>()->Write(BString(std::u16string_view(u"hello")).get());
    EXPECT_TRUE(test::Eventually([&] { return log.Contains("/dev/null is no hidraw device"); })) << log.Text();
    EXPECT_EQ(log.Count("/dev/null is no hidraw device"), 1) << "said once for the outage";
}

} // namespace
