// SPDX-License-Identifier: MIT
#pragma once
// The CrystalFontz packet modules among the serial ports: known by their USB ids (FTDI's vendor
// id with a product id of CrystalFontz's own), then by a ping packet, which only that protocol
// answers, and with its own data echoed. Such a port is never sent the 0xFE command set's probes.

#include "detection_devices.h"
#include "module_detection.h"

#include "crystalfontz_module.h"

#include <optional>
#include <string>

namespace pixtera::detection {

// The model a USB id is, or nothing when it is no CrystalFontz packet module.
std::optional<lcd::CrystalfontzModel> CrystalfontzModelOf(const UsbId& id);

struct CrystalfontzOutcome {
    std::optional<FoundModule> found;
    std::string reason; // when nothing was found
};

// Pings the module at its model's speed, then at the other; `port` has been listened to.
CrystalfontzOutcome PingCrystalfontz(SerialPort& port, const std::string& path, lcd::CrystalfontzModel model);

} // namespace pixtera::detection
