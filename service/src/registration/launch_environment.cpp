// SPDX-License-Identifier: MIT
#include "launch_environment.h"

#include <cstdlib>

namespace pixtera {

std::vector<std::pair<std::string, std::string>> LaunchOverrides()
{
    std::vector<std::pair<std::string, std::string>> overrides;
    for (const char* name : {"PIXTERA_REGISTRY", "PIXTERA_RUNTIME_DIR"})
        if (const char* value = std::getenv(name); value && *value)
            overrides.emplace_back(name, value);
    return overrides;
}

} // namespace pixtera
