// SPDX-License-Identifier: MIT
#pragma once
// pixtera-detect: finds the character LCDs this machine reaches and prints, or adds to
// pixtera2.xml, the configuration that drives each.

#include "detection_devices.h"

#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>

namespace pixtera::detection {

// Exit codes: 0 something was found (and written where asked), 1 nothing was found (each place
// tried is named with the reason), 2 the command line is wrong, 3 pixtera2.xml could not be
// written. `configuration` is the file --write adds to.
int RunDetectCommand(std::span<const std::string> arguments, DetectionDevices& devices,
                     const std::filesystem::path& configuration, std::ostream& out, std::ostream& err);

} // namespace pixtera::detection
