// SPDX-License-Identifier: MIT
#pragma once
// Bringing an LCD2USB up: found by its USB ids, opened through libusb, and asked to echo (a request
// only it answers so) before the writer configures it.

#include "device_link.h"
#include "usb_control.h"

#include <pixtera/platform/unique_fd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace pixtera::lcd {

struct Lcd2UsbConnection {
    UniqueFd watch; // hangs up when the device goes; none when libusb does not tell
    std::shared_ptr<UsbControl> control;
};

// device=auto (the first found) or auto:BUS-PORT; ENODEV in errno when none is plugged in.
std::optional<Lcd2UsbConnection> OpenLcd2Usb(const std::string& device, std::string& error,
                                             const std::filesystem::path& root = "/sys/bus/usb/devices");

// The echo and version asked, then the link; `current` is the connection's control from then on,
// for reading the keys on the writer's thread.
std::optional<DeviceLink> StartLcd2Usb(Lcd2UsbConnection connection, std::shared_ptr<UsbControl>& current,
                                       std::string& version, std::string& error);

} // namespace pixtera::lcd
