// SPDX-License-Identifier: MIT
// Pixtera.HD44780I2C: an HD44780 module behind a PCF8574, MCP23008 or MCP23017 I2C backpack,
// through Linux i2c-dev or a USB-to-I2C adapter driven directly (CH341A, MCP2221, CP2112).
// Configuration: adapter=i2c-dev;speed=100;bus=1;address=0x27;columns=20;rows=4;backlight=on;expander=auto;pinmap=auto;
// timing=standard;refresh=0. The RGB LCD plate's buttons are its keys.

#include "backpack_connection.h"
#include "cp2112_i2c.h"
#include "lcd_display_character_set.h"
#include "lcd_display_events.h"
#include "lcd_display_link_state.h"
#include "lcd_display_power.h"
#include "lcd_display_traffic.h"
#include "lcd_display_unicode_frame.h"
#include "lcd_settings.h"
#include "plate_buttons.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/key_input.h>
#include <pixtera/sdk/plugin_module.h>

#include <atomic>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;

// {6B0E8A43-2C1D-4F57-A3E9-5D8C7B1F0A21}
constexpr CLSID CLSID_HD44780I2C{0x6B0E8A43, 0x2C1D, 0x4F57, {0xA3, 0xE9, 0x5D, 0x8C, 0x7B, 0x1F, 0x0A, 0x21}};
const InprocClass kClass{CLSID_HD44780I2C, kI2cDriver.progId, "HD44780 display on I2C"};

class HD44780I2C final
    : public ComObject<HD44780I2C, LcdDisplayDriver<HD44780I2C>, LcdDisplayEvents<HD44780I2C>,
                       LcdDisplayPower<HD44780I2C>, LcdDisplayCharacterSet<HD44780I2C>, LcdDisplayTraffic<HD44780I2C>,
                       LcdDisplayUnicodeFrame<HD44780I2C>, LcdDisplayLinkState<HD44780I2C>, KeyInput,
                       ConfigurablePlugin<HD44780I2C>, DescribedSettings<HD44780I2C>> {
public:
    static constexpr const auto& kSettings = kI2cSettings;
    static constexpr LONG kPowerCaps = kPowerBacklight;
    static constexpr const char16_t* kPluginName = u"HD44780 display on I2C";

    // The writer polls into DeliverKey: it stops before the sink's guard goes.
    ~HD44780I2C() { SetPolling(false); }

    // The buttons are read only while a display has a sink for them.
    HRESULT STDMETHODCALLTYPE Advise(IKeySink* sink) override
    {
        const HRESULT result = KeyInput::Advise(sink);
        SetPolling(sink != nullptr);
        return result;
    }

    WriterSetup Describe(const ConfigurationText& fields, std::vector<std::string>& problems)
    {
        const I2cSettings settings = ReadI2cSettings(fields, problems);
        WriterSetup setup;
        setup.name = "HD44780 I2C display";
        const bool usb = settings.adapter.kind != AdapterKind::I2cDev;
        setup.device = (usb ? AdapterText(settings.adapter) : "/dev/i2c-" + std::to_string(settings.bus)) +
                       " address " + HexByte(settings.address);
        // An unknown bus clock is taken as the usual 100 kHz: a faster bus is set in the device tree.
        Pacing pacing{settings.timing, usb ? settings.speed : I2cBusClock(settings.bus).value_or(100000)};
        if (settings.adapter.kind == AdapterKind::Cp2112)
            pacing.largestMessage = cp2112::kLargestWrite;
        auto protocol = std::make_shared<Hd44780I2cProtocol>(
            settings.geometry, WiringFor(settings, settings.expander.value_or(ExpanderChip::Pcf8574)),
            settings.backlight, settings.rom, pacing);
        setup.open = [settings, protocol, name = setup.device, sleep = setup.sleep](std::string& error) {
            std::optional<DeviceLink> link;
            if (settings.adapter.kind == AdapterKind::I2cDev) {
                link = OpenI2cDevice(settings.bus, settings.address, error);
            } else {
                std::string route;
                link = OpenAdapterLink(settings.adapter, settings.address, settings.speed, route, error);
                if (link)
                    LogInformation("HD44780 I2C display: " + name + " through " + route);
            }
            if (link && !PrepareBackpack(*link, settings, *protocol, name, sleep, error))
                link.reset();
            return link;
        };
        if (WiringFor(settings, ExpanderChip::Mcp23017).portAInputs &&
            settings.expander.value_or(ExpanderChip::Mcp23017) == ExpanderChip::Mcp23017) {
            setup.poll = PlateButtonPoll(protocol, [this](LONG key, LONG action) { DeliverKey(key, action); });
            // Two reads must agree: 20 ms apart a press reaches the bus within 50 ms.
            setup.pollEvery = std::chrono::milliseconds(20);
            setup.polling = polling_.load();
        }
        setup.refresh = std::chrono::seconds(settings.refresh);
        setup.protocol = protocol;
        setup.geometry = settings.geometry;
        setup.rom = settings.rom;
        return setup;
    }

private:
    void SetPolling(bool on)
    {
        polling_ = on;
        WithWriter([on](LcdWriter& writer) { writer.SetPolling(on); });
    }

    // Whether keys are wanted, for the writer of a configuration that comes later.
    std::atomic<bool> polling_{false};
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(HD44780I2C, kClass)
