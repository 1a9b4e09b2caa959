// SPDX-License-Identifier: MIT
#pragma once
// The configuration texts of the two native drivers, read with their defaults; fields that
// cannot be used are named in `problems` and take their defaults.

#include "hd44780_i2c_protocol.h"
#include "serial_lcd_protocol.h"

#include <pixtera/sdk/configuration_text.h>

#include <string>
#include <vector>

namespace pixtera::lcd {

struct I2cSettings {
    int bus = 1;
    CharacterRom rom = CharacterRom::A00;
    int address = 0x27;
    Geometry geometry;
    bool backlight = true;
    Pcf8574Pins pins = Pcf8574Pins::A();
    bool detectPins = true; // pinmap=auto: read the module back at every connection; `pins` when that fails
    Hd44780Timing timing = Hd44780Timing::Standard;
    int refresh = 0; // seconds between re-initialisations of a module that cannot be read; 0: never
};

struct SerialSettings {
    std::string device = "/dev/ttyACM0";
    int speed = 19200;
    Geometry geometry;
    SerialLcdOptions options;
};

// A byte as configurations and logs write it: "0x27".
std::string HexByte(int address);

// bus=1;address=0x27;columns=20;rows=4;backlight=on;pinmap=auto (or a, b);rom=a00 (or a02);
// timing=standard (or fast, slow);refresh=0 (seconds, up to a day)
I2cSettings ReadI2cSettings(const ConfigurationText& fields, std::vector<std::string>& problems);
// device=/dev/ttyACM0;speed=19200;columns=20;rows=4;backlight=on;contrast=128;brightness=255;rom=a00
SerialSettings ReadSerialSettings(const ConfigurationText& fields, std::vector<std::string>& problems);

} // namespace pixtera::lcd
