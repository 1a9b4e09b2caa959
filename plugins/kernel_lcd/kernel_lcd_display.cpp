// SPDX-License-Identifier: MIT
// Pixtera.KernelLCD: an HD44780 module the kernel already drives through its charlcd driver
// (/dev/lcd, as the hd44780-lcd overlays set it up); the kernel owns the wiring and the timing.
// Configuration: device=/dev/lcd;columns=20;rows=4;backlight=on;rom=a00

#include "kernel_lcd_device.h"
#include "kernel_lcd_protocol.h"
#include "lcd_display_character_set.h"
#include "lcd_display_events.h"
#include "lcd_display_link_state.h"
#include "lcd_display_power.h"
#include "lcd_display_traffic.h"
#include "lcd_display_unicode_frame.h"
#include "lcd_settings.h"

#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;

// {6B0E8A43-2C1D-4F57-A3E9-5D8C7B1F0A23}
constexpr CLSID CLSID_KernelLCD{0x6B0E8A43, 0x2C1D, 0x4F57, {0xA3, 0xE9, 0x5D, 0x8C, 0x7B, 0x1F, 0x0A, 0x23}};
const InprocClass kClass{CLSID_KernelLCD, kKernelLcdDriver.progId, "Kernel-driven character LCD"};

class KernelLCD final
    : public ComObject<KernelLCD, LcdDisplayDriver<KernelLCD>, LcdDisplayEvents<KernelLCD>, LcdDisplayPower<KernelLCD>,
                       LcdDisplayCharacterSet<KernelLCD>, LcdDisplayTraffic<KernelLCD>,
                       LcdDisplayUnicodeFrame<KernelLCD>, LcdDisplayLinkState<KernelLCD>, ConfigurablePlugin<KernelLCD>,
                       DescribedSettings<KernelLCD>> {
public:
    static constexpr const auto& kSettings = kKernelLcdSettings;
    static constexpr LONG kPowerCaps = kPowerBacklight;
    static constexpr const char16_t* kPluginName = u"Kernel-driven character LCD";

    static WriterSetup Describe(const ConfigurationText& fields, std::vector<std::string>& problems)
    {
        const KernelLcdSettings settings = ReadKernelLcdSettings(fields, problems);
        WriterSetup setup;
        setup.name = "Kernel LCD";
        setup.device = settings.device;
        setup.open = [device = settings.device](std::string& error) { return OpenKernelLcdDevice(device, error); };
        setup.protocol = std::make_shared<KernelLcdProtocol>(settings.backlight, settings.rom);
        setup.geometry = settings.geometry;
        setup.rom = settings.rom;
        return setup;
    }
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(KernelLCD, kClass)
