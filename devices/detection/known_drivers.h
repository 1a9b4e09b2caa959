// SPDX-License-Identifier: MIT
#pragma once
// The display drivers detection knows by their descriptions: a new driver is one line here.

#include "crystalfontz_settings.h"
#include "lcd_settings.h"
#include "lcdd_settings.h"
#include "usb_lcd_settings.h"

#include <pixtera/sdk/described_driver.h>

namespace pixtera::detection {

// In the order a configuration without a ProgID is matched by its place keys.
inline constexpr const DescribedDriver* kKnownDrivers[] = {
    &lcd::kI2cDriver,     &lcd::kSerialDriver,  &lcdproc::kLcddDriver,    &lcd::kKernelLcdDriver,
    &lcd::kPicoLcdDriver, &lcd::kLcd2UsbDriver, &lcd::kCrystalfontzDriver};

} // namespace pixtera::detection
