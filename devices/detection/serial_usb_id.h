// SPDX-License-Identifier: MIT
#pragma once
// The USB device behind a serial port, as sysfs has it: the port's tty device and, up its parents,
// the first with a vendor and product id (the USB device of a USB-serial converter's interface).

#include "detection_devices.h"

#include <filesystem>
#include <optional>
#include <string>

namespace pixtera::detection {

std::optional<UsbId> SerialUsbIdOf(const std::filesystem::path& sysfs, const std::string& port);

} // namespace pixtera::detection
