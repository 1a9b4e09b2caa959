// SPDX-License-Identifier: MIT
#pragma once
// The kernel's LCD device (/dev/lcd), opened to be written only: the driver refuses readers and a
// second writer (EBUSY).

#include "device_link.h"

#include <optional>
#include <string>

namespace pixtera::lcd {

// The misc device number the kernel's charlcd driver registers /dev/lcd under.
inline constexpr unsigned kKernelLcdMajor = 10;
inline constexpr unsigned kKernelLcdMinor = 156;

// `path` when it is the kernel's LCD device itself (not a link to it: udev makes none), or a FIFO
// standing in for it; never blocking, in open or in write.
std::optional<DeviceLink> OpenKernelLcdDevice(const std::string& path, std::string& error);

} // namespace pixtera::lcd
