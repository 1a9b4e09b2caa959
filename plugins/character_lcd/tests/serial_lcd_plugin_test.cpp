// Pixtera.SerialLCD as the service meets it, on a pseudo-terminal in place of the module's port.

#include "serial_lcd_model.h"
#include "test_environment.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_settings.h>
#include <pixtera/sdk/plugin_module.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace {

using namespace pixtera;
using namespace pixtera::lcd::test;

class Pty {
public:
    Pty()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(master_);
        unlockpt(master_);
        path_ = ptsname(master_);
    }
    ~Pty() { close(master_); }
    const std::string& path() const { return path_; }

    // Reads until `done` holds for what arrived, or a second of silence.
    template <class Done>
    void ReadInto(SerialLcdModel& model, Done done)
    {
        char buffer[512];
        pollfd poller{master_, POLLIN, 0};
        while (!done() && poll(&poller, 1, 1000) > 0) {
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0)
                return;
            model.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        }
    }

private:
    int master_ = -1;
    std::string path_;
};

TEST(SerialLcdPlugin, ConfiguredOnAPortItTakesFramesAndUserCharacters)
{
    ASSERT_TRUE(test::RegisterModule(test::ProgramDirectory() / "plugins" / "SerialLCD.so"));
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"Pixtera.SerialLCD", &clsid), S_OK);
    ComPtr<IPluginInfo> info;
    ASSERT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, info), S_OK);
    Pty pty;
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
    EXPECT_EQ(count, 7);
}

} // namespace
