// SPDX-License-Identifier: MIT
#pragma once
// The overrides a process started by systemd or D-Bus needs to see the same registry and locks
// as the process that registered it (portable installs and tests set them).

#include <string>
#include <utility>
#include <vector>

namespace pixtera {

// NAME=value pairs of PIXTERA_REGISTRY and PIXTERA_RUNTIME_DIR that are set now.
std::vector<std::pair<std::string, std::string>> LaunchOverrides();

} // namespace pixtera
