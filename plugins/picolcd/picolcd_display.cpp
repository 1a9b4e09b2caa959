// SPDX-License-Identifier: MIT
// Pixtera.PicoLCD: the picoLCD 20x2 on its hidraw node, and its keys. Configuration:
// device=auto (or auto:BUS-PORT, /dev/hidrawN);backlight=on;brightness=255;contrast=0-255;
// leds=0-255;rom=a00;keys=0x01:Escape,...

#include "hid_module.h"
#include "lcd_display_character_set.h"
#include "lcd_display_events.h"
#include "lcd_display_leds.h"
#include "lcd_display_link_state.h"
#include "lcd_display_power.h"
#include "lcd_display_traffic.h"
#include "lcd_display_unicode_frame.h"
#include "picolcd_module.h"
#include "usb_lcd_settings.h"

#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/key_input.h>
#include <pixtera/sdk/plugin_module.h>

#include <memory>
#include <mutex>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;

// {3F6A2D19-8C47-4B0E-9E25-71D4A8C3B650}
constexpr CLSID CLSID_PicoLCD{0x3F6A2D19, 0x8C47, 0x4B0E, {0x9E, 0x25, 0x71, 0xD4, 0xA8, 0xC3, 0xB6, 0x50}};
const InprocClass kClass{CLSID_PicoLCD, kPicoLcdDriver.progId, "picoLCD 20x2"};

class PicoLCD final
    : public ComObject<PicoLCD, LcdDisplayDriver<PicoLCD>, LcdDisplayEvents<PicoLCD>, LcdDisplayPower<PicoLCD>,
                       LcdDisplayCharacterSet<PicoLCD>, LcdDisplayTraffic<PicoLCD>, LcdDisplayUnicodeFrame<PicoLCD>,
                       LcdDisplayLeds<PicoLCD>, LcdDisplayLinkState<PicoLCD>, KeyInput, ConfigurablePlugin<PicoLCD>,
                       DescribedSettings<PicoLCD>> {
public:
    static constexpr const auto& kSettings = kPicoLcdSettings;
    static constexpr LONG kPowerCaps = kPowerBacklight | kPowerBrightness;
    static constexpr const char16_t* kPluginName = u"picoLCD 20x2";

    // The key reader stops before anything it calls goes; the writer that attaches modules to it
    // may live a moment longer.
    ~PicoLCD() { ReplaceReader(nullptr); }

    WriterSetup Describe(const ConfigurationText& fields, std::vector<std::string>& problems)
    {
        const PicoLcdSettings settings = ReadPicoLcdSettings(fields, problems);
        // The decoder is the reader thread's alone.
        auto reader = std::make_shared<HidInputReader>(
            [this, keys = PicoLcdKeys(settings.keys)](std::span<const std::uint8_t> report) mutable {
                for (const KeyEventOf& event : keys.Decode(report))
                    DeliverKey(event.key, event.action);
            });
        ReplaceReader(reader);
        LayLeds(LedsOf(settings));
        WriterSetup setup;
        setup.name = "picoLCD";
        setup.device = settings.device == "auto" ? "picoLCD 20x2" : "picoLCD 20x2 " + settings.device;
        setup.open = [device = settings.device, reader](std::string& error) -> std::optional<DeviceLink> {
            constexpr UsbIdPair kIds{kPicoLcdVendor, kPicoLcdProduct};
            const auto node = ChooseHidrawNode(device, kIds, error);
            if (!node)
                return std::nullopt;
            auto connection = OpenHidrawModule(*node, kIds, error);
            if (!connection)
                return std::nullopt;
            std::string version;
            return StartPicoLcd(std::move(*connection), *reader, version, error);
        };
        setup.protocol = std::make_shared<PicoLcdProtocol>(settings.options);
        setup.geometry = kPicoLcdGeometry;
        setup.rom = settings.options.rom;
        return setup;
    }

private:
    // Eight, a bit of the mask each, on or off.
    static LedLayout LedsOf(const PicoLcdSettings& settings)
    {
        LedLayout layout;
        layout.states.assign(kPicoLcdLeds, kLedOnOff);
        for (int led = 0; led < kPicoLcdLeds; ++led)
            layout.initial.push_back((settings.options.leds.value_or(0) >> led) & 1 ? kLedOn : kLedOff);
        return layout;
    }

    void ReplaceReader(std::shared_ptr<HidInputReader> reader)
    {
        std::lock_guard lock(readerMutex_);
        if (reader_)
            reader_->Stop();
        reader_ = std::move(reader);
    }

    std::mutex readerMutex_; // guards reader_
    std::shared_ptr<HidInputReader> reader_; // the configuration's in force; the writer shares it
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(PicoLCD, kClass)
