// SPDX-License-Identifier: MIT
// A module's place from the settings its driver describes: configurations that name one module in
// different spellings are one place, as the drivers' own readers see it; different modules are not.

#include "lcd_settings.h"
#include "lcdd_settings.h"
#include "module_place.h"

#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera;
using namespace pixtera::detection;

constexpr const char* kI2c = "Pixtera.HD44780I2C";
constexpr const char* kSerial = "Pixtera.SerialLCD";
constexpr const char* kLcdd = "Pixtera.LCDprocDisplay";

std::string I2cPlace(const std::string& configuration) { return ModulePlace(kI2c, configuration, lcd::kI2cSettings); }
std::string SerialPlace(const std::string& configuration)
{
    return ModulePlace(kSerial, configuration, lcd::kSerialSettings);
}
std::string LcddPlace(const std::string& configuration)
{
    return ModulePlace(kLcdd, configuration, lcdproc::kLcddSettings);
}

// The module the I2C driver itself would open.
std::pair<int, int> I2cModule(const std::string& configuration)
{
    std::vector<std::string> problems;
    const auto settings = lcd::ReadI2cSettings(ConfigurationText(configuration), problems);
    return {settings.bus, settings.address};
}

TEST(ModulePlace, I2cConfigurationsAreOneModuleExactlyWhenTheDriverOpensOneBusAndAddress)
{
    // Spellings, defaults, values the driver refuses (and replaces by its default), other keys.
    const std::vector<std::string> configurations{
        "",
        "bus=1;address=0x27",
        "address=39",
        "address=0X27;rows=2;pinmap=b",
        " bus = 1 ; address = 0x27 ",
        "bus=x",
        "bus=0x02", // the bus is read in decimal only: this is bus 1
        "bus=256",
        "address=0x80",
        "address=2",
        "address=",
        "bus=2",
        "bus=02;address=0x27",
        "address=0x3f",
        "address=63;bus=2",
        "bus=0;address=0x20",
    };
    for (const auto& a : configurations)
        for (const auto& b : configurations)
            EXPECT_EQ(I2cPlace(a) == I2cPlace(b), I2cModule(a) == I2cModule(b)) << '"' << a << "\" and \"" << b << '"';

    // The readers' verdicts the loop relies on, so that it compares more than one module.
    EXPECT_EQ(I2cModule("address=39"), I2cModule(""));
    EXPECT_EQ(I2cModule("bus=0x02"), I2cModule(""));
    EXPECT_NE(I2cModule("bus=2"), I2cModule(""));
    EXPECT_NE(I2cModule("address=0x3f"), I2cModule(""));
}

TEST(ModulePlace, SerialDevicesAreOneModuleUnderEveryNameOfTheirPath)
{
    const auto dir = test::TestDirectory() / "places";
    std::filesystem::create_directories(dir / "by-id");
    std::ofstream(dir / "ttyACM7") << "";
    std::ofstream(dir / "ttyACM8") << "";
    std::error_code ec;
    std::filesystem::create_symlink("../ttyACM7", dir / "by-id" / "usb-module", ec);
    ASSERT_FALSE(ec) << ec.message();

    const std::string device = (dir / "ttyACM7").string();
    EXPECT_EQ(SerialPlace("device=" + device), SerialPlace("device=" + (dir / "by-id" / "usb-module").string()))
        << "a udev link names the device it points to";
    EXPECT_EQ(SerialPlace("device=" + device), SerialPlace("speed=9600;device=" + (dir / "by-id/../ttyACM7").string()));
    EXPECT_NE(SerialPlace("device=" + device), SerialPlace("device=" + (dir / "ttyACM8").string()));
    EXPECT_NE(SerialPlace("device=" + device), SerialPlace(""));

    // Where the driver reads no device, its own default is the place.
    std::vector<std::string> problems;
    const std::string byDefault = lcd::ReadSerialSettings(ConfigurationText(""), problems).device;
    EXPECT_EQ(SerialPlace(""), SerialPlace("device=" + byDefault));
    EXPECT_EQ(SerialPlace("columns=16;rows=2"), SerialPlace(""));
}

TEST(ModulePlace, LcddIsOneModulePerHostAndPortWithLocalhostAndTheDefaultPortSpelledAnyWay)
{
    for (const char* same : {"host=localhost", "host=127.0.0.1;port=13666", "port=13666;priority=info",
                             "host=localhost;port=99999", "port=x", "columns=40;rows=2"})
        EXPECT_EQ(LcddPlace(same), LcddPlace("")) << same;
    for (const char* other : {"host=pi", "port=13667", "host=pi;port=13666", "host=127.0.0.2"})
        EXPECT_NE(LcddPlace(other), LcddPlace("")) << other;
    EXPECT_EQ(LcddPlace("host=pi;port=13667"), LcddPlace("port=13667;host=pi"));
    EXPECT_NE(LcddPlace("host=pi;port=13667"), LcddPlace("host=pi"));
}

TEST(ModulePlace, ADriverIsKnownByItsOwnPlaceSettingsAndItsProgId)
{
    FoundModule found;
    found.progId = kI2c;
    found.configuration = "bus=1;address=0x27;pinmap=a;columns=20;rows=4;backlight=on";
    found.settings = lcd::kI2cSettings;
    EXPECT_TRUE(DrivesModule(kI2c, "address=39;rows=2", found));
    EXPECT_FALSE(DrivesModule(kI2c, "address=0x3f", found));
    EXPECT_FALSE(DrivesModule("Other.Driver", "bus=1;address=0x27", found)) << "another driver, even spelt alike";

    // A driver no setting of which is its place is one module per configuration text.
    static constexpr SettingDescription kPlaceless[] = {
        {"columns", "Columns", kSettingInteger, "20", "Characters per row", 1, 40},
    };
    EXPECT_EQ(ModulePlace("Some.Display", "columns=16", kPlaceless), ModulePlace("Some.Display", "columns=16", {}));
    EXPECT_NE(ModulePlace("Some.Display", "columns=16", kPlaceless), ModulePlace("Some.Display", "", kPlaceless));

    // A new driver needs nothing but its described place: a text setting holding a number.
    static constexpr SettingDescription kAdapter[] = {
        {"adapter", "Adapter", kSettingText, "0", "The adapter's number", 0, 9, "", SettingPlace::Number},
        {"rows", "Rows", kSettingInteger, "4", "Rows", 1, 4},
    };
    EXPECT_EQ(ModulePlace("New.Display", "adapter=0x3;rows=2", kAdapter),
              ModulePlace("New.Display", "adapter=3", kAdapter));
    EXPECT_EQ(ModulePlace("New.Display", "adapter=12", kAdapter), ModulePlace("New.Display", "", kAdapter))
        << "out of its range: the default";
    EXPECT_NE(ModulePlace("New.Display", "adapter=4", kAdapter), ModulePlace("New.Display", "adapter=3", kAdapter));
}

} // namespace
