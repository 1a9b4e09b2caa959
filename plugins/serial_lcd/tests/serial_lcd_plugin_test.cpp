// SPDX-License-Identifier: MIT
// Pixtera.SerialLCD as the service meets it, on a pseudo-terminal in place of the module's port.

#include "plugin_test.h"
#include "pty_port.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/plugin_settings.h>

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace pixtera;
using namespace pixtera::lcd::test;

TEST(SerialLcdPlugin, ConfiguredOnAPortItTakesFramesAndUserCharacters)
{
    const auto info = test::CreatePlugin<IPluginInfo>("SerialLCD.so", u"Pixtera.SerialLCD");
    ASSERT_TRUE(info);
    PtyPort pty;
    const std::string configuration = "device=" + pty.path() + ";speed=9600;columns=16;rows=2;brightness=90";
    ASSERT_EQ(info->Configure(BString(std::string_view(configuration)).get()), S_OK);

    auto display = info.As<IDisplayDriver>();
    ASSERT_TRUE(display);
    LONG columns = 0;
    LONG rows = 0;
    display->GetColumns(&columns);
    display->GetRows(&rows);
    EXPECT_EQ(columns, 16);
    EXPECT_EQ(rows, 2);

    SerialLcdModel model(16, 2);
    ASSERT_EQ(display->SetCustomChar(0, 31, 31, 31, 31, 31, 31, 31, 31), S_OK);
    EXPECT_EQ(display->SetCustomChar(8, 0, 0, 0, 0, 0, 0, 0, 0), E_INVALIDARG);
    const std::u16string frame = u"CPU \x08\x08\x08      42%" + std::u16string(16, u' ');
    ASSERT_EQ(display->Write(BString(frame).get()), S_OK);
    // The bar cell (code 8) is the module's user character 0.
    const std::string expected = "CPU " + std::string(3, '\0') + "      42%" + std::string(16, ' ');
    pty.ReadInto(model, [&] { return model.screen() == expected; });
    EXPECT_EQ(model.screen(), expected);
    EXPECT_EQ(model.GlyphOf(0)[7], 31);
    EXPECT_EQ(model.brightness(), 90);

    auto settings = info.As<IPluginSettings>();
    ASSERT_TRUE(settings) << "the designer's configuration form has the keys";
    LONG count = 0;
    settings->GetSettingCount(&count);
    EXPECT_EQ(count, 8);
}

} // namespace
