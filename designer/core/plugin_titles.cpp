// SPDX-License-Identifier: MIT
#include "plugin_titles.h"

#include "plugin_place.h"

#include <map>

namespace pixtera::designer {

std::vector<std::string> PluginTitles(const std::vector<PluginIdentity>& plugins)
{
    std::vector<std::string> titles;
    std::map<std::string, int> seen;
    for (const PluginIdentity& plugin : plugins) {
        const std::string place = detection::PlaceOf(plugin.progId, plugin.configuration);
        std::string title = place.empty() ? plugin.name : plugin.name + ": " + place;
        if (const int before = seen[title]++; before > 0)
            title += " (" + std::to_string(before + 1) + ")";
        titles.push_back(std::move(title));
    }
    return titles;
}

} // namespace pixtera::designer
