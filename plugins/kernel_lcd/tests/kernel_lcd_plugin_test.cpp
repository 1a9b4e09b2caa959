// SPDX-License-Identifier: MIT
// Pixtera.KernelLCD as the service meets it, with a FIFO standing in for /dev/lcd.

#include "plugin_test.h"
#include "test_environment.h"

#include <pixtera/platform/unique_fd.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_settings.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace pixtera;

class KernelLcdPlugin : public test::PluginTest<IPluginInfo> {
protected:
    KernelLcdPlugin() : PluginTest("KernelLCD.so", u"Pixtera.KernelLCD") {}

    void SetUp() override
    {
        PluginTest::SetUp();
        std::filesystem::remove(fifo_);
        ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
        reader_.reset(open(fifo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_TRUE(reader_);
    }

    // What reached the stand-in, once it ends with `end`.
    std::string ReceivedThrough(const std::string& end)
    {
        EXPECT_TRUE(test::Eventually([&] {
            char buffer[4096];
            ssize_t n = 0;
            while ((n = read(reader_.get(), buffer, sizeof buffer)) > 0)
                received_.append(buffer, static_cast<std::size_t>(n));
            return received_.ends_with(end);
        })) << received_;
        return std::exchange(received_, {});
    }

    std::filesystem::path fifo_ = test::TestDirectory() / "lcd";

private:
    UniqueFd reader_;
    std::string received_;
};

TEST_F(KernelLcdPlugin, ConfiguredOnTheDeviceItWritesTheKernelsEscapesForFramesUserCharactersAndTheBacklight)
{
    ASSERT_TRUE(plugin);
    const std::string configuration = "device=" + fifo_.string() + ";columns=16;rows=2;backlight=off";
    ASSERT_EQ(plugin->Configure(BString(std::string_view(configuration)).get()), S_OK);

    auto display = plugin.As<IDisplayDriver>();
    ASSERT_TRUE(display);
    LONG columns = 0;
    LONG rows = 0;
    display->GetColumns(&columns);
    display->GetRows(&rows);
    EXPECT_EQ(columns, 16);
    EXPECT_EQ(rows, 2);

    ASSERT_EQ(display->SetCustomChar(2, 31, 0, 31, 0, 31, 0, 31, 0), S_OK);
    ASSERT_EQ(display->Write(BString(u"CPU \x0A 42%" + std::u16string(23, u' ')).get()), S_OK);
    EXPECT_EQ(ReceivedThrough("42%"), "\n\x1b[LI\x1b[LD\x1b[Lc\x1b[Lb\x1b[L-\x1b[2J\x1b[LG21F001F001F001F00;"
                                      "\x1b[Lx0y0;CPU \x02 42%")
        << "set up unlit, the user character defined, the bar cell (code 10) as user character 2";

    auto power = plugin.As<IDisplayPower>();
    ASSERT_TRUE(power);
    ASSERT_EQ(power->SetBacklight(VARIANT_TRUE), S_OK);
    ASSERT_EQ(display->Write(BString(u"CPU \x0A 43%" + std::u16string(23, u' ')).get()), S_OK);
    EXPECT_EQ(ReceivedThrough("3"), "\x1b[L+\x1b[Lx7y0;3");

    auto settings = plugin.As<IPluginSettings>();
    ASSERT_TRUE(settings) << "the designer's configuration form has the keys";
    LONG count = 0;
    settings->GetSettingCount(&count);
    EXPECT_EQ(count, 5);
}

} // namespace
