// SPDX-License-Identifier: MIT
#pragma once
// The configuration texts of the native drivers: their keys as the drivers describe them, and
// read with their defaults; fields that cannot be used are named in `problems` and take their
// defaults. The described defaults are the readers' own.

#include "backpack.h"
#include "hd44780_i2c_protocol.h"
#include "serial_lcd_protocol.h"
#include "usb_i2c_adapter.h"

#include <pixtera/sdk/configuration_text.h>
#include <pixtera/sdk/described_driver.h>
#include <pixtera/sdk/described_settings.h>

#include <string>
#include <vector>

namespace pixtera::lcd {

struct I2cSettings {
    AdapterChoice adapter; // i2c-dev: /dev/i2c-<bus>
    int bus = 1;
    int speed = 100000; // Hz, where a USB adapter sets the clock
    CharacterRom rom = CharacterRom::A00;
    int address = 0x27;
    Geometry geometry;
    bool backlight = true;
    Pcf8574Pins pins = Pcf8574Pins::A();
    bool detectPins = true; // pinmap=auto: read the module back at every connection; `pins` when that fails
    bool pinList = false; // pinmap= named the pins
    std::optional<ExpanderChip> expander; // none: identified at every connection
    std::optional<Backpack> board; // pinmap=adafruit or plate
    Hd44780Timing timing = Hd44780Timing::Standard;
    int refresh = 0; // seconds between re-initialisations of a module that cannot be read; 0: never
};

struct SerialSettings {
    std::string device = "/dev/ttyACM0";
    int speed = 19200;
    Geometry geometry;
    SerialLcdOptions options;
    SerialModuleExtras extras;
    KeypadMap keys{}; // the keypad's bytes
};

// The display the kernel's charlcd driver drives (an HD44780 it set up from the device tree).
struct KernelLcdSettings {
    std::string device = "/dev/lcd";
    Geometry geometry;
    bool backlight = true;
    CharacterRom rom = CharacterRom::A00;
};

// The adapter, the bus and the address are the module's place.
inline constexpr SettingDescription kI2cSettings[] = {
    {"adapter", "Adapter", kSettingText, "i2c-dev",
     "i2c-dev (the kernel's /dev/i2c-N, bus= says which), or a USB adapter driven directly: ch341, mcp2221 or "
     "cp2112, each optionally :SERIAL or :BUS-PORT (such as mcp2221:1-1.4) to tell two apart",
     0, 0, "", SettingPlace::Word},
    {"bus", "I2C bus", kSettingInteger, "1", "The N of /dev/i2c-N (i2cdetect -l lists them)", 0, 255, "",
     SettingPlace::Number},
    {"address", "Address", kSettingText, "0x27",
     "The backpack's address (0x27 or 0x3f on most; i2cdetect -y N shows it)", 0x03, 0x77, "", SettingPlace::Number},
    {"speed", "Bus speed", kSettingChoice, "100",
     "kHz, where a USB adapter sets the bus clock (i2c-dev's is the system's)", 0, 0, "100|400"},
    {"columns", "Columns", kSettingInteger, "20", "Characters per row", 1, 40},
    {"rows", "Rows", kSettingInteger, "4", "Rows of characters", 1, 4},
    {"backlight", "Backlight", kSettingChoice, "on", "Whether the backlight is lit", 0, 0, "on|off"},
    {"expander", "Expander", kSettingChoice, "auto",
     "The backpack's chip: auto (identified by reading it before anything is written), pcf8574 (most "
     "backpacks), mcp23008 (the Adafruit I2C backpack) or mcp23017 (the RGB LCD plate)",
     0, 0, "auto|pcf8574|mcp23008|mcp23017"},
    {"pinmap", "Pin mapping", kSettingChoice, "auto",
     "auto: found by reading the module back (a when it cannot be read), or an MCP backpack's own wiring; a: RS "
     "P0, E P2, backlight P3, data P4-P7 (most backpacks); b: data P0-P3, E P4, RS P6, backlight P7; adafruit: the "
     "MCP23008 backpack; plate: the MCP23017 RGB LCD plate; any other wiring as the pins of RS, RW, E, backlight and "
     "D4-D7 in the configuration (pinmap=0,1,2,3,4,5,6,7 is a)",
     0, 0, "auto|a|b|adafruit|plate"},
    {"rom", "Character ROM", kSettingChoice, "a00",
     "The module's character set: a00 (Japanese, the commonest), a02 (European) or cyrillic (Russian); "
     "examples/rom-test.pxd tells",
     0, 0, "a00|a02|cyrillic"},
    {"timing", "Timing", kSettingChoice, "standard",
     "How fast the controller is: fast (37 us an instruction), standard (50 us), slow (120 us, some clones)", 0, 0,
     "fast|standard|slow"},
    {"refresh", "Refresh", kSettingInteger, "0",
     "Seconds between re-initialisations of a module whose RW line is not wired (0: never); one that can be "
     "read is checked and repaired by itself",
     0, 86400},
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
     "The module's character set: a00 (Japanese, the commonest), a02 (European) or cyrillic (Russian); "
     "examples/rom-test.pxd tells",
     0, 0, "a00|a02|cyrillic"},
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

// The device is the display's place.
inline constexpr SettingDescription kKernelLcdSettings[] = {
    {"device", "Device", kSettingText, "/dev/lcd", "The kernel's LCD device (the hd44780-lcd overlay makes /dev/lcd)",
     0, 0, "", SettingPlace::Device},
    {"columns", "Columns", kSettingInteger, "20", "Characters per row, as in the overlay's display_width", 1, 40},
    {"rows", "Rows", kSettingInteger, "4", "Rows of characters, as in the overlay's display_height", 1, 4},
    {"backlight", "Backlight", kSettingChoice, "on", "Whether the backlight is lit (where the kernel switches it)", 0,
     0, "on|off"},
    {"rom", "Character ROM", kSettingChoice, "a00",
     "The module's character set: a00 (Japanese, the commonest), a02 (European) or cyrillic (Russian); "
     "examples/rom-test.pxd tells",
     0, 0, "a00|a02|cyrillic"},
};

inline constexpr DescribedDriver kI2cDriver{
    "Pixtera.HD44780I2C", kI2cSettings,
    "[adapter=i2c-dev]/dev/i2c-{bus} address {address:hex}|{adapter} address {address:hex}"};
inline constexpr DescribedDriver kSerialDriver{"Pixtera.SerialLCD", kSerialSettings, "{device}"};
inline constexpr DescribedDriver kKernelLcdDriver{"Pixtera.KernelLCD", kKernelLcdSettings, "{device}"};

// A byte as configurations and logs write it: "0x27".
std::string HexByte(int address);

// adapter=i2c-dev (or ch341, mcp2221, cp2112, each with :SERIAL or :BUS-PORT);speed=100 (or 400);
// bus=1;address=0x27;columns=20;rows=4;backlight=on;expander=auto (or pcf8574, mcp23008,
// mcp23017);pinmap=auto (or a, b, adafruit, plate, a list);rom=a00 (or a02);timing=standard (or
// fast, slow);refresh=0 (seconds, up to a day)
I2cSettings ReadI2cSettings(const ConfigurationText& fields, std::vector<std::string>& problems);
// The wiring behind `chip`: the board pinmap= names, the pins it lists on the LCD's port, or the
// chip's usual board (pin map a on a PCF8574).
Backpack WiringFor(const I2cSettings& settings, ExpanderChip chip);
// device=/dev/ttyACM0;speed=19200;columns=20;rows=4;backlight=on;contrast=128;brightness=255;rom=a00;
// model=generic (or adafruit);colour=ffffff;keys=A:Left,...;keyrepeat=off (typematic, updown)
SerialSettings ReadSerialSettings(const ConfigurationText& fields, std::vector<std::string>& problems);
// device=/dev/lcd;columns=20;rows=4;backlight=on;rom=a00
KernelLcdSettings ReadKernelLcdSettings(const ConfigurationText& fields, std::vector<std::string>& problems);

} // namespace pixtera::lcd
