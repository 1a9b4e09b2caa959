// SPDX-License-Identifier: MIT
#pragma once
// The configuration texts of the two native drivers: their keys as the drivers describe them, and
// read with their defaults; fields that cannot be used are named in `problems` and take their
// defaults. The described defaults are the readers' own.

#include "hd44780_i2c_protocol.h"
#include "serial_lcd_protocol.h"

#include <pixtera/sdk/configuration_text.h>
#include <pixtera/sdk/described_settings.h>

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
};

struct SerialSettings {
    std::string device = "/dev/ttyACM0";
    int speed = 19200;
    Geometry geometry;
    SerialLcdOptions options;
    SerialModuleExtras extras;
    KeypadMap keys{}; // the keypad's bytes
};

// The bus and the address are the module's place.
inline constexpr SettingDescription kI2cSettings[] = {
    {"bus", "I2C bus", kSettingInteger, "1", "The N of /dev/i2c-N (i2cdetect -l lists them)", 0, 255, "",
     SettingPlace::Number},
    {"address", "Address", kSettingText, "0x27",
     "The backpack's address (0x27 or 0x3f on most; i2cdetect -y N shows it)", 0x03, 0x77, "", SettingPlace::Number},
    {"columns", "Columns", kSettingInteger, "20", "Characters per row", 1, 40},
    {"rows", "Rows", kSettingInteger, "4", "Rows of characters", 1, 4},
    {"backlight", "Backlight", kSettingChoice, "on", "Whether the backlight is lit", 0, 0, "on|off"},
    {"pinmap", "Pin mapping", kSettingChoice, "auto",
     "auto: found by reading the module back (a when it cannot be read); a: RS P0, E P2, backlight P3, "
     "data P4-P7 (most backpacks); b: data P0-P3, E P4, RS P6, backlight P7",
     0, 0, "auto|a|b"},
    {"rom", "Character ROM", kSettingChoice, "a00",
     "The module's character set: a00 (Japanese, the commonest) or a02 (European); examples/rom-test.pxd tells", 0, 0,
     "a00|a02"},
};

// The device is the module's place.
inline constexpr SettingDescription kSerialSettings[] = {
    {"device", "Device", kSettingText, "/dev/ttyACM0",
     "The module's serial port (a udev link such as /dev/lcd keeps it stable)", 0, 0, "", SettingPlace::Device},
    {"speed", "Speed", kSettingChoice, "19200", "The module's baud rate", 0, 0,
     "1200|2400|4800|9600|19200|38400|57600|115200"},
    {"columns", "Columns", kSettingInteger, "20", "Characters per row", 1, 40},
    {"rows", "Rows", kSettingInteger, "4", "Rows of characters", 1, 4},
    {"backlight", "Backlight", kSettingChoice, "on", "Whether the backlight is lit", 0, 0, "on|off"},
    {"contrast", "Contrast", kSettingInteger, "", "0-255, for modules that set contrast (empty: leave it)", 0, 255},
    {"brightness", "Brightness", kSettingInteger, "", "0-255, for modules that dim (empty: leave it)", 0, 255},
    {"rom", "Character ROM", kSettingChoice, "a00",
     "The module's character set: a00 (Japanese, the commonest) or a02 (European); examples/rom-test.pxd tells", 0, 0,
     "a00|a02"},
    {"model", "Model", kSettingChoice, "generic",
     "generic: the 0xFE command set; adafruit: the Adafruit USB+Serial backpack, with its size and RGB backlight", 0, 0,
     "generic|adafruit"},
    {"colour", "Backlight colour", kSettingText, "ffffff", "RRGGBB, for the Adafruit backpack's RGB backlight"},
    {"keys", "Keypad", kSettingText, kDefaultKeypadMap,
     "The keypad's bytes and their keys: A:Left,B:Right,... (other bytes arrive as Raw:0x47)"},
    {"keyrepeat", "Key repeat", kSettingChoice, "",
     "How a held key repeats: off, typematic (the module sends it again) or updown (the module sends its release); "
     "empty: as the module is set",
     0, 0, "|off|typematic|updown"},
};

// A byte as configurations and logs write it: "0x27".
std::string HexByte(int address);

// bus=1;address=0x27;columns=20;rows=4;backlight=on;pinmap=auto (or a, b);rom=a00 (or a02)
I2cSettings ReadI2cSettings(const ConfigurationText& fields, std::vector<std::string>& problems);
// device=/dev/ttyACM0;speed=19200;columns=20;rows=4;backlight=on;contrast=128;brightness=255;rom=a00;
// model=generic (or adafruit);colour=ffffff;keys=A:Left,...;keyrepeat=off (typematic, updown)
SerialSettings ReadSerialSettings(const ConfigurationText& fields, std::vector<std::string>& problems);

} // namespace pixtera::lcd
