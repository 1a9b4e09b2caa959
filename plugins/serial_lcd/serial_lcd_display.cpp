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
const InprocClass kClass{CLSID_SerialLCD, kSerialDriver.progId, "Serial character LCD"};

class SerialLCD final
    : public ComObject<SerialLCD, LcdDisplayDriver<SerialLCD>, LcdDisplayEvents<SerialLCD>, LcdDisplayPower<SerialLCD>,
                       LcdDisplayCharacterSet<SerialLCD>, ConfigurablePlugin<SerialLCD>, DescribedSettings<SerialLCD>> {
public:
    static constexpr const auto& kSettings = kSerialSettings;
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
