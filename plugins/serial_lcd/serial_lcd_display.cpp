// SPDX-License-Identifier: MIT
// Pixtera.SerialLCD: serial and USB-serial character LCDs with the 0xFE command set.
// Configuration: device=/dev/ttyACM0;speed=19200;columns=20;rows=4;backlight=on
// (contrast=0-255 and brightness=0-255 for modules that have them).

#include "lcd_display_character_set.h"
#include "lcd_display_events.h"
#include "lcd_display_power.h"
#include "lcd_settings.h"

#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;

// {6B0E8A43-2C1D-4F57-A3E9-5D8C7B1F0A22}
constexpr CLSID CLSID_SerialLCD{0x6B0E8A43, 0x2C1D, 0x4F57, {0xA3, 0xE9, 0x5D, 0x8C, 0x7B, 0x1F, 0x0A, 0x22}};
const InprocClass kClass{CLSID_SerialLCD, "Pixtera.SerialLCD", "Serial character LCD"};

class SerialLCD final
    : public ComObject<SerialLCD, LcdDisplayDriver<SerialLCD>, LcdDisplayEvents<SerialLCD>, LcdDisplayPower<SerialLCD>,
                       LcdDisplayCharacterSet<SerialLCD>, ConfigurablePlugin<SerialLCD>, DescribedSettings<SerialLCD>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"device", "Device", kSettingText, "/dev/ttyACM0",
         "The module's serial port (a udev link such as /dev/lcd keeps it stable)"},
        {"speed", "Speed", kSettingChoice, "19200", "The module's baud rate", 0, 0,
         "1200|2400|4800|9600|19200|38400|57600|115200"},
        {"columns", "Columns", kSettingInteger, "20", "Characters per row", 1, 40},
        {"rows", "Rows", kSettingInteger, "4", "Rows of characters", 1, 4},
        {"backlight", "Backlight", kSettingChoice, "on", "Whether the backlight is lit", 0, 0, "on|off"},
        {"contrast", "Contrast", kSettingInteger, "", "0-255, for modules that set contrast (empty: leave it)", 0, 255},
        {"brightness", "Brightness", kSettingInteger, "", "0-255, for modules that dim (empty: leave it)", 0, 255},
        {"rom", "Character ROM", kSettingChoice, "a00",
         "The module's character set: a00 (Japanese, the commonest) or a02 (European); examples/rom-test.pxd tells", 0,
         0, "a00|a02"},
    };
    static constexpr LONG kPowerCaps = kPowerBacklight | kPowerBrightness;
    static constexpr const char16_t* kPluginName = u"Serial character LCD";

    static WriterSetup Describe(const ConfigurationText& fields, std::vector<std::string>& problems)
    {
        const SerialSettings settings = ReadSerialSettings(fields, problems);
        WriterSetup setup;
        setup.name = "Serial LCD";
        setup.device = settings.device + " at " + std::to_string(settings.speed) + " baud";
        setup.open = [device = settings.device, speed = settings.speed](std::string& error) {
            return OpenSerialDevice(device, speed, error);
        };
        setup.protocol = std::make_shared<SerialLcdProtocol>(settings.options);
        setup.geometry = settings.geometry;
        setup.rom = settings.options.rom;
        return setup;
    }
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(SerialLCD, kClass)
