// SPDX-License-Identifier: MIT
#pragma once
// The configuration text of Pixtera.CrystalFontz: its keys as the driver describes them, and read
// with their defaults; fields that cannot be used are named in `problems` and take their
// defaults.

#include "crystalfontz_protocol.h"

#include <pixtera/sdk/character_rom.h>
#include <pixtera/sdk/configuration_text.h>
#include <pixtera/sdk/described_driver.h>
#include <pixtera/sdk/described_settings.h>

#include <string>
#include <vector>

namespace pixtera::lcd {

struct CrystalfontzSettings {
    std::string device = "/dev/ttyUSB0";
    CrystalfontzModel model = CrystalfontzModel::Cfa635;
    int speed = 115200; // the model's own unless set
    CrystalfontzOptions options;
};

// The device is the module's place.
inline constexpr SettingDescription kCrystalfontzSettings[] = {
    {"device", "Device", kSettingText, "/dev/ttyUSB0",
     "The module's serial port (a udev link such as /dev/serial/by-id/... keeps it stable)", 0, 0, "",
     SettingPlace::Device},
    {"model", "Model", kSettingChoice, "635",
     "533 or 633 (16 x 2, six keys), 631 (20 x 2, four keys), 635 (20 x 4, six keys, four LEDs)", 0, 0,
     "533|631|633|635"},
    {"speed", "Speed", kSettingChoice, "",
     "The module's baud rate; empty: as the model ships (19200 for the 533 and 633, 115200 for the 631 and 635)", 0, 0,
     "|19200|115200"},
    {"backlight", "Backlight", kSettingChoice, "on", "Whether the backlight is lit", 0, 0, "on|off"},
    {"brightness", "Brightness", kSettingInteger, "100", "The backlight's level when lit, 0-100", 0, 100},
    {"contrast", "Contrast", kSettingInteger, "",
     "0-255, limited to what the model takes (empty: as the module keeps it)", 0, 255},
    {"leds", "LEDs", kSettingText, "",
     "The 635's four LEDs, top first, each off, green, red or amber: green,off,off,red (empty: as they are)"},
    {"watchdog", "Watchdog", kSettingInteger, "0",
     "Seconds without the service after which the module resets the machine (its reset or power lines wired to "
     "the module): armed while the service runs, fed every third of that, disarmed when the service stops; 0: off",
     0, 255},
    {"fans", "Fans", kSettingText, "",
     "The SCAB's fans (1-4) to read as data items, such as 1,2 or 1-4 (empty: none; the module is not asked)"},
    {"temperatures", "Temperature sensors", kSettingText, "",
     "The SCAB's temperature sensors (1-32) to read as data items, such as 1-4,9 (empty: none; the module is not "
     "asked)"},
    {"rom", "Character ROM", kSettingChoice, "a00",
     "The module's character set as the frames are mapped to it: a00 or a02", 0, 0, "a00|a02"},
};

inline constexpr DescribedDriver kCrystalfontzDriver{"Pixtera.CrystalFontz", kCrystalfontzSettings, "{device}"};

// "green,off,off,red": the four LEDs, top first.
std::optional<LedColours> ParseLedColours(std::string_view text);

// device=/dev/ttyUSB0;model=635;speed=115200;backlight=on;brightness=100;contrast=120;
// leds=green,off,off,off;watchdog=0;fans=1,2;temperatures=1-4;rom=a00
CrystalfontzSettings ReadCrystalfontzSettings(const ConfigurationText& fields, std::vector<std::string>& problems);

} // namespace pixtera::lcd
