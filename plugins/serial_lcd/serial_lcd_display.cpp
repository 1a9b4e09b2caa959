// SPDX-License-Identifier: MIT
// Pixtera.SerialLCD: serial and USB-serial character LCDs with the 0xFE command set, and their
// keypads. Configuration: device=/dev/ttyACM0;speed=19200;columns=20;rows=4;backlight=on
// (contrast=0-255 and brightness=0-255 for modules that have them; keys=A:Left,... and
// keyrepeat=off|typematic|updown for the keypad; model=adafruit;colour=RRGGBB for the Adafruit
// USB+Serial backpack).

#include "lcd_display_character_set.h"
#include "lcd_display_events.h"
#include "lcd_display_link_state.h"
#include "lcd_display_power.h"
#include "lcd_display_traffic.h"
#include "lcd_display_unicode_frame.h"
#include "lcd_settings.h"
#include "serial_keypad.h"

#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/key_input.h>
#include <pixtera/sdk/plugin_module.h>

#include <memory>
#include <mutex>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;

// {6B0E8A43-2C1D-4F57-A3E9-5D8C7B1F0A22}
constexpr CLSID CLSID_SerialLCD{0x6B0E8A43, 0x2C1D, 0x4F57, {0xA3, 0xE9, 0x5D, 0x8C, 0x7B, 0x1F, 0x0A, 0x22}};
const InprocClass kClass{CLSID_SerialLCD, kSerialDriver.progId, "Serial character LCD"};

class SerialLCD final
    : public ComObject<SerialLCD, LcdDisplayDriver<SerialLCD>, LcdDisplayEvents<SerialLCD>, LcdDisplayPower<SerialLCD>,
                       LcdDisplayCharacterSet<SerialLCD>, LcdDisplayTraffic<SerialLCD>,
                       LcdDisplayUnicodeFrame<SerialLCD>, LcdDisplayLinkState<SerialLCD>, KeyInput,
                       ConfigurablePlugin<SerialLCD>, DescribedSettings<SerialLCD>> {
public:
    static constexpr const auto& kSettings = kSerialSettings;
    static constexpr LONG kPowerCaps = kPowerBacklight | kPowerBrightness;
    static constexpr const char16_t* kPluginName = u"Serial character LCD";

    // The keypad stops before anything it calls goes; the writer that attaches ports to it may
    // live a moment longer.
    ~SerialLCD() { ReplaceKeypad(nullptr); }

    WriterSetup Describe(const ConfigurationText& fields, std::vector<std::string>& problems)
    {
        const SerialSettings settings = ReadSerialSettings(fields, problems);
        auto keypad = std::make_shared<SerialKeypad>(
            KeypadDecoder(settings.keys, settings.extras.keyRepeat.value_or(KeyRepeat::Off)),
            [this](LONG key, LONG action) { DeliverKey(key, action); });
        ReplaceKeypad(keypad);
        WriterSetup setup;
        setup.name = "Serial LCD";
        setup.device = settings.device + " at " + std::to_string(settings.speed) + " baud";
        // The keypad's keys come on the port's own stream: it reads each port the writer opens.
        setup.open = [device = settings.device, speed = settings.speed, keypad](std::string& error) {
            keypad->Detach(); // the last port's duplicate would keep the port locked
            auto link = OpenSerialDevice(device, speed, error);
            if (link)
                keypad->Attach(link->fd());
            return link;
        };
        setup.protocol = std::make_shared<SerialLcdProtocol>(settings.options, settings.extras);
        setup.geometry = settings.geometry;
        setup.rom = settings.options.rom;
        return setup;
    }

private:
    void ReplaceKeypad(std::shared_ptr<SerialKeypad> keypad)
    {
        std::lock_guard lock(keypadMutex_);
        if (keypad_)
            keypad_->Stop();
        keypad_ = std::move(keypad);
    }

    std::mutex keypadMutex_; // guards keypad_
    std::shared_ptr<SerialKeypad> keypad_; // the configuration's in force; the writer shares it
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(SerialLCD, kClass)
