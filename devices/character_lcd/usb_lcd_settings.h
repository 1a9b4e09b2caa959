// SPDX-License-Identifier: MIT
#pragma once
// The configuration texts of the USB character modules driven directly (the picoLCD 20x2 on
// hidraw, LCD2USB by control requests), described and read with their defaults; fields that cannot be used are named in
// `problems` and take their defaults.

#include "lcd2usb_protocol.h"
#include "picolcd_protocol.h"
#include "serial_keypad.h"

#include <pixtera/sdk/configuration_text.h>
#include <pixtera/sdk/described_driver.h>
#include <pixtera/sdk/described_settings.h>

#include <string>
#include <vector>

namespace pixtera::lcd {

struct PicoLcdSettings {
    std::string device = "auto"; // auto, auto:BUS-PORT or /dev/hidrawN
    PicoLcdOptions options;
    KeypadMap keys{};
};

// The device is the module's place.
inline constexpr SettingDescription kPicoLcdSettings[] = {
    {"device", "Device", kSettingText, "auto",
     "auto (the first picoLCD 20x2 plugged in), auto:BUS-PORT (such as auto:1-1.4) to tell two apart, or its "
     "hidraw node (/dev/hidraw3)",
     0, 0, "", SettingPlace::Word},
    {"backlight", "Backlight", kSettingChoice, "on", "Whether the backlight is lit", 0, 0, "on|off"},
    {"brightness", "Brightness", kSettingInteger, "255", "The backlight's level when lit, 0-255", 0, 255},
    {"contrast", "Contrast", kSettingInteger, "", "0-255 (empty: as the module keeps it)", 0, 255},
    {"leds", "LEDs", kSettingInteger, "", "The LEDs lit, a bit each: 0-255 (empty: as the module keeps them)", 0, 255},
    {"rom", "Character ROM", kSettingChoice, "a00",
     "The module's character set: a00 (Japanese, the commonest) or a02 (European); examples/rom-test.pxd tells", 0, 0,
     "a00|a02"},
    {"keys", "Keys", kSettingText, kPicoLcdKeyMap,
     "The keypad's codes and their keys: 0x01:Escape,0x05:Up,... (other codes arrive as Raw:0x0A)"},
};

inline constexpr DescribedDriver kPicoLcdDriver{"Pixtera.PicoLCD", kPicoLcdSettings, "picoLCD {device}"};

struct Lcd2UsbSettings {
    std::string device = "auto"; // auto or auto:BUS-PORT
    Lcd2UsbOptions options;
    KeypadMap keys{};
};

inline constexpr SettingDescription kLcd2UsbSettings[] = {
    {"device", "Device", kSettingText, "auto",
     "auto (the first LCD2USB plugged in) or auto:BUS-PORT (such as auto:1-1.4) to tell two apart", 0, 0, "",
     SettingPlace::Word},
    {"columns", "Columns", kSettingInteger, "20", "Characters per row", 8, 40},
    {"rows", "Rows", kSettingInteger, "4", "Rows of characters (a 40x4 module's two controllers are both driven)", 1,
     4},
    {"backlight", "Backlight", kSettingChoice, "on", "Whether the backlight is lit", 0, 0, "on|off"},
    {"brightness", "Brightness", kSettingInteger, "255", "The backlight's level when lit, 0-255", 0, 255},
    {"contrast", "Contrast", kSettingInteger, "", "0-255 (empty: as the interface keeps it)", 0, 255},
    {"rom", "Character ROM", kSettingChoice, "a00",
     "The module's character set: a00 (Japanese, the commonest) or a02 (European); examples/rom-test.pxd tells", 0, 0,
     "a00|a02"},
    {"keys", "Keys", kSettingText, kLcd2UsbKeyMap,
     "The two keys (0x01 and 0x02) and what they are: 0x01:Enter,0x02:Escape"},
};

inline constexpr DescribedDriver kLcd2UsbDriver{"Pixtera.LCD2USB", kLcd2UsbSettings, "LCD2USB {device}"};

// device=auto;backlight=on;brightness=255;contrast=;leds=;rom=a00;keys=0x01:Escape,...
PicoLcdSettings ReadPicoLcdSettings(const ConfigurationText& fields, std::vector<std::string>& problems);
// device=auto;columns=20;rows=4;backlight=on;brightness=255;contrast=;rom=a00;keys=0x01:Enter,...
Lcd2UsbSettings ReadLcd2UsbSettings(const ConfigurationText& fields, std::vector<std::string>& problems);

} // namespace pixtera::lcd
