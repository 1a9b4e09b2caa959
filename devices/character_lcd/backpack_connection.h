// SPDX-License-Identifier: MIT
#pragma once
// What the I2C driver does with a freshly opened backpack before the writer initialises it: the
// expander configured, or identified by reading it (nothing written to a chip it cannot tell);
// the wiring that goes with it (a PCF8574's pin map read back from the module when asked); and
// whether the module can be read back through it.

#include "hd44780_i2c_protocol.h"
#include "lcd_settings.h"

#include <string>

namespace pixtera::lcd {

// False with `error` set when the chip cannot be told; `protocol` is the writer's, before it
// starts using it. `device` names the module in the log ("/dev/i2c-1 address 0x27").
bool PrepareBackpack(DeviceLink& link, const I2cSettings& settings, Hd44780I2cProtocol& protocol,
                     const std::string& device, const Sleeper& sleep, std::string& error);

} // namespace pixtera::lcd
