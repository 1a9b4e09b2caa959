// SPDX-License-Identifier: MIT
#pragma once
// Finds the character LCDs that can be reached: the display the kernel drives (/dev/lcd), HD44780
// modules behind PCF8574, MCP23008 or MCP23017 backpacks on the I2C buses, serial modules with the
// 0xFE command set, and LCDd on this machine. Each module found comes with the configuration that
// drives it as it stands.

#include "detection_devices.h"

#include "device_link.h"

#include <pixtera/sdk/described_settings.h>

#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace pixtera::detection {

struct ModuleSize {
    int columns = 20;
    int rows = 4;
};

struct FoundModule {
    std::string progId; // "Pixtera.HD44780I2C"
    std::string configuration; // "bus=1;address=0x27;pinmap=a;columns=20;rows=4;backlight=on"
    std::string place; // "/dev/i2c-1 address 0x27"
    std::string note; // what the user should know, or empty
    // The keys the driver describes, its place among them: what tells this module's
    // configurations from another's.
    std::span<const SettingDescription> settings;
    // The size in the configuration is the one assumed (DetectionOptions::size), not the module's.
    bool sizeAssumed = false;
    // Other configurations that reach this very module ("adapter=mcp2221;address=0x27" for the
    // only MCP2221's, "adapter=mcp2221:1-2;address=0x27" for the one at that port): a driver
    // configured so drives it already.
    std::vector<std::string> sameModule;
};

// A place looked at where nothing was found, and why.
struct PlaceTried {
    std::string place;
    std::string reason;
};

struct DetectionReport {
    std::vector<FoundModule> found;
    std::vector<PlaceTried> tried;
};

struct DetectionOptions {
    std::vector<int> buses; // the I2C buses to probe; all when empty
    ModuleSize size; // written into the configurations: a module cannot tell its size
    bool serial = true;
    // The serial ports to probe, whatever udev marks them as; when empty, those listed in /dev
    // that udev marks as no modem or GPS receiver.
    std::vector<std::string> ports;
    bool lcdd = true;
    // Called with each place as its probe begins (serial ports are probed side by side).
    std::function<void(const std::string& place)> progress;
    lcd::Sleeper sleep = [](std::chrono::microseconds pause) { std::this_thread::sleep_for(pause); };
};

DetectionReport DetectModules(DetectionDevices& devices, const DetectionOptions& options);

// The PCF8574 and PCF8574A address ranges, the only ones ever touched.
bool IsExpanderAddress(int address);

} // namespace pixtera::detection
