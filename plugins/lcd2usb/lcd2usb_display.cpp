// SPDX-License-Identifier: MIT
// Pixtera.LCD2USB: an HD44780 module on an LCD2USB interface, by USB control requests, and its two
// keys. Configuration: device=auto (or auto:BUS-PORT);columns=20;rows=4;backlight=on;
// brightness=255;contrast=0-255;rom=a00;keys=0x01:Enter,0x02:Escape

#include "lcd2usb_module.h"
#include "lcd2usb_protocol.h"
#include "lcd_display_character_set.h"
#include "lcd_display_events.h"
#include "lcd_display_link_state.h"
#include "lcd_display_power.h"
#include "lcd_display_traffic.h"
#include "lcd_display_unicode_frame.h"
#include "usb_lcd_settings.h"

#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/key_input.h>
#include <pixtera/sdk/plugin_module.h>

#include <atomic>
#include <memory>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace std::chrono_literals;

// {8D2C5E71-4A96-4F3B-B1E8-06C9F27A5D34}
constexpr CLSID CLSID_LCD2USB{0x8D2C5E71, 0x4A96, 0x4F3B, {0xB1, 0xE8, 0x06, 0xC9, 0xF2, 0x7A, 0x5D, 0x34}};
const InprocClass kClass{CLSID_LCD2USB, kLcd2UsbDriver.progId, "LCD2USB"};

class LCD2USB final
    : public ComObject<LCD2USB, LcdDisplayDriver<LCD2USB>, LcdDisplayEvents<LCD2USB>, LcdDisplayPower<LCD2USB>,
                       LcdDisplayCharacterSet<LCD2USB>, LcdDisplayTraffic<LCD2USB>, LcdDisplayUnicodeFrame<LCD2USB>,
                       LcdDisplayLinkState<LCD2USB>, KeyInput, ConfigurablePlugin<LCD2USB>,
                       DescribedSettings<LCD2USB>> {
public:
    static constexpr const auto& kSettings = kLcd2UsbSettings;
    static constexpr LONG kPowerCaps = kPowerBacklight | kPowerBrightness;
    static constexpr const char16_t* kPluginName = u"LCD2USB";

    // The writer polls into DeliverKey: it stops before the sink's guard goes.
    ~LCD2USB() { SetPolling(false); }

    // The keys are asked for only while a display has a sink for them.
    HRESULT STDMETHODCALLTYPE Advise(IKeySink* sink) override
    {
        const HRESULT result = KeyInput::Advise(sink);
        SetPolling(sink != nullptr);
        return result;
    }

    WriterSetup Describe(const ConfigurationText& fields, std::vector<std::string>& problems)
    {
        const Lcd2UsbSettings settings = ReadLcd2UsbSettings(fields, problems);
        // The connection in use: set by open, read by poll, both on the writer's thread.
        auto current = std::make_shared<std::shared_ptr<UsbControl>>();
        WriterSetup setup;
        setup.name = "LCD2USB";
        setup.device = settings.device == "auto" ? "LCD2USB" : "LCD2USB " + settings.device;
        setup.open = [device = settings.device, current](std::string& error) -> std::optional<DeviceLink> {
            current->reset();
            auto connection = OpenLcd2Usb(device, error);
            if (!connection)
                return std::nullopt;
            std::string version;
            return StartLcd2Usb(std::move(*connection), *current, version, error);
        };
        // Two keys on an interface that is only asked: a read every 20 ms keeps a press within
        // 50 ms of the bus.
        setup.poll = [current, keys = Lcd2UsbKeys(settings.keys), this](DeviceLink&) mutable {
            if (!*current)
                return;
            if (const auto state = ReadLcd2UsbKeys(**current))
                for (const KeyEventOf& event : keys.Decode(*state))
                    DeliverKey(event.key, event.action);
        };
        setup.pollEvery = 20ms;
        setup.polling = polling_.load();
        setup.protocol = std::make_shared<Lcd2UsbProtocol>(settings.options);
        setup.geometry = settings.options.geometry;
        setup.rom = settings.options.rom;
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

PIXTERA_SINGLE_CLASS_MODULE(LCD2USB, kClass)
