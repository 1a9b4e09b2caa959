// SPDX-License-Identifier: MIT
#include "configuration_additions.h"

#include "module_place.h"

#include <pixtera/configuration_schema.h>

#include <algorithm>
#include <map>
#include <set>

namespace pixtera::detection {

std::vector<FoundModule> AddNewModules(pugi::xml_document& document, const std::vector<FoundModule>& found)
{
    // The places the file's drivers of one ProgID drive, told by the settings of a module found
    // for it; read once per ProgID.
    std::map<std::string, std::set<std::string>> configured;
    auto placesOf = [&](const FoundModule& module) -> std::set<std::string>& {
        auto [places, made] = configured.try_emplace(module.progId);
        if (made)
            for (const auto& selected : document.select_nodes(config::kDriverPath)) {
                const pugi::xml_node driver = selected.node();
                if (module.progId == driver.attribute(config::kClsid).value())
                    places->second.insert(
                        ModulePlace(module.progId, driver.attribute(config::kConfiguration).value(), module.settings));
            }
        return places->second;
    };
    std::vector<FoundModule> added;
    for (const auto& module : found) {
        auto& places = placesOf(module);
        const auto spellings = ModulePlaces(module);
        if (std::any_of(spellings.begin(), spellings.end(), [&](const auto& place) { return places.count(place); }))
            continue;
        places.insert(spellings.begin(), spellings.end());
        pugi::xml_node driver =
            config::AppendDriver(config::DriversElement(document), module.progId.c_str(), module.configuration.c_str());
        config::AppendCapability(driver, config::kDisplay, true);
        added.push_back(module);
    }
    return added;
}

} // namespace pixtera::detection
