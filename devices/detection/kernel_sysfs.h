// SPDX-License-Identifier: MIT
#pragma once
// What sysfs says of the devices the kernel drives itself: the charlcd driver's /dev/lcd (a misc
// device, registered without a parent, so known by its number) and its auxdisplay driver, and the
// I2C clients a driver has bound.

#include "detection_devices.h"

#include <filesystem>
#include <optional>
#include <string>

namespace pixtera::detection {

inline constexpr const char* kSysfs = "/sys";

// `device` when it is itself (no link) the character device sysfs lists as the misc device
// "lcd", with the driver and size sysfs gives; nothing otherwise.
std::optional<KernelLcdFound> KernelLcdOf(const std::filesystem::path& sysfs, const std::string& device);

// The name of the driver bound to I2C client `bus`-00`address`, or nothing.
std::optional<std::string> I2cDriverOf(const std::filesystem::path& sysfs, int bus, int address);

} // namespace pixtera::detection
