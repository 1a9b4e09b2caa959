// SPDX-License-Identifier: MIT
// A native driver answers IDisplayTraffic with its writer's measure of the last frame.

#include "backpack_connection.h"
#include "lcd_display_traffic.h"
#include "mcp_i2c_bus.h"

#include <pixtera/platform/com_object.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

// A 16 x 2 display on the plate's model.
class ModelDriver final : public ComObject<ModelDriver, LcdDisplayDriver<ModelDriver>, LcdDisplayTraffic<ModelDriver>> {
public:
    WriterSetup Describe(const ConfigurationText& fields, std::vector<std::string>& problems)
    {
        settings_ = ReadI2cSettings(fields, problems);
        auto protocol = std::make_shared<Hd44780I2cProtocol>(Geometry{16, 2}, Backpack::Plate(), true);
        WriterSetup setup;
        setup.name = "Test display";
        setup.device = "the model";
        setup.open = [this, protocol](std::string& error) -> std::optional<DeviceLink> {
            DeviceLink link = bus_.Open();
            if (!PrepareBackpack(link, settings_, *protocol, "the model", kNoSleep, error))
                return std::nullopt;
            return link;
        };
        setup.protocol = protocol;
        setup.geometry = {16, 2};
        setup.sleep = kNoSleep;
        return setup;
    }

private:
    static inline const Sleeper kNoSleep = [](std::chrono::microseconds) {};
    Mcp230xxModel chip_{Backpack::Plate()};
    McpI2cBus bus_{chip_};
    I2cSettings settings_;
};

TEST(LcdDisplayTraffic, TheLastFrameIsTheWritersMeasure)
{
    auto driver = MakeComObject<ModelDriver>();
    driver->Configured(ConfigurationText("pinmap=plate"), "pinmap=plate");
    const ComPtr<IDisplayTraffic> traffic = driver.As<IDisplayTraffic>();
    ASSERT_TRUE(traffic);
    LONG bytes = -1, messages = -1;
    LONGLONG clocks = -1, microseconds = -1;
    for (const char* frame : {"first frame", "and then a longer second one"}) {
        ASSERT_EQ(driver->Write(BString(std::string_view(frame)).get()), S_OK);
        LinkTraffic measured;
        driver->WithWriter([&](LcdWriter& writer) {
            EXPECT_TRUE(writer.WaitUntilSent(5s));
            measured = writer.LastTraffic();
        });
        ASSERT_EQ(traffic->GetLastFrameTraffic(&bytes, &messages, &clocks, &microseconds), S_OK);
        EXPECT_GT(measured.bytes, 0u);
        EXPECT_EQ(static_cast<std::size_t>(bytes), measured.bytes);
        EXPECT_EQ(static_cast<std::size_t>(messages), measured.messages);
        EXPECT_EQ(static_cast<std::uint64_t>(clocks), measured.clocks);
        EXPECT_EQ(microseconds, std::chrono::duration_cast<std::chrono::microseconds>(measured.elapsed).count());
    }
    EXPECT_EQ(traffic->GetLastFrameTraffic(nullptr, &messages, &clocks, &microseconds), E_POINTER);
}

} // namespace
