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

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

using namespace pixtera;

// A FIFO in /dev/shm, read by the test: what the driver would write to it shows.
class FifoNode {
public:
    FifoNode()
    {
        path_ = "/dev/shm/pixtera-picolcd-test-" + std::to_string(getpid());
        link_ = path_ + "-link";
        mkfifo(path_.c_str(), 0600);
        symlink(path_.c_str(), link_.c_str());
        reader_ = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~FifoNode()
    {
        close(reader_);
        unlink(link_.c_str());
        unlink(path_.c_str());
    }
    std::size_t Unread() const
    {
        char bytes[256];
        const ssize_t got = read(reader_, bytes, sizeof bytes);
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    const std::string& path() const { return path_; }
    const std::string& link() const { return link_; }

private:
    std::string path_, link_;
    int reader_ = -1;
};

TEST(PicoLcdPlugin, ANodeThatIsNoCharacterDeviceOrALinkIsRefusedBeforeAnythingIsWritten)
{
    test::CapturedLog log;
    FifoNode node;
    for (const std::string& device : {node.path(), node.link()}) {
        const auto info = test::CreatePlugin<IPluginInfo>("PicoLCD.so", u"Pixtera.PicoLCD");
        ASSERT_TRUE(info);
        const std::string configuration = "device=" + device;
        ASSERT_EQ(info->Configure(BString(std::string_view(configuration)).get()), S_OK);
        info.As<IDisplayDriver>()->Write(BString(std::u16string_view(u"hello")).get());
        EXPECT_TRUE(test::Eventually([&] { return log.Contains(device); })) << log.Text();
    }
    EXPECT_TRUE(log.Contains(node.path() + " is no hidraw device")) << log.Text();
    EXPECT_TRUE(log.Contains(node.link() + ": Too many levels of symbolic links")) << log.Text();
    EXPECT_EQ(node.Unread(), 0u) << "nothing reached the node";
}

} // namespace
