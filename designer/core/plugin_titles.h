// SPDX-License-Identifier: MIT
#pragma once
// How the designer lists plug-ins: each by its name and, where its configuration gives one, its
// place ("Serial character LCD: /dev/ttyACM0"), so that two of one driver are told apart. Any that
// would still read alike are numbered from the second on.

#include <string>
#include <vector>

namespace pixtera::designer {

struct PluginIdentity {
    std::string name; // the plug-in's own
    std::string progId; // empty where it is not known (a display of the service's)
    std::string configuration;
};

std::vector<std::string> PluginTitles(const std::vector<PluginIdentity>& plugins);

} // namespace pixtera::designer
