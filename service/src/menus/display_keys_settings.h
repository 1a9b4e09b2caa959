// SPDX-License-Identifier: MIT
#pragma once
// A display's keys and menu as pixtera2.xml sets them below its driver element (the names are in
// configuration_schema.h). What cannot be taken is said once in the log and left out: a menu file
// refused leaves the display without a menu, showing its queue as before.

#include "display_menu.h"

#include <pugixml.hpp>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace pixtera {

// The idle time before an open menu closes, unless the file says otherwise.
inline constexpr std::chrono::seconds kDefaultMenuTimeout{30};
// The longest idle time the file may set: a day.
inline constexpr long long kMaxMenuTimeoutSeconds = 24 * 3600;

// `configuration`: the file, beside which a relative menu file lies; `queue`: the file names of
// the display's queue, which the menu's ShowDesign entries must name.
MenuSettings ReadDisplayKeys(const pugi::xml_node& driver, const std::filesystem::path& configuration,
                             const std::vector<std::string>& queue);

} // namespace pixtera
