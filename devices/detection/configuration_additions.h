// SPDX-License-Identifier: MIT
#pragma once
// Adding the modules detection found to pixtera2.xml: a driver element for each module the file
// does not drive yet, however its configuration is spelt, and nothing else touched.

#include "module_detection.h"

#include <pugixml.hpp>

#include <vector>

namespace pixtera::detection {

// Appends the modules not configured yet to the drivers element (made when missing); the
// modules added.
std::vector<FoundModule> AddNewModules(pugi::xml_document& document, const std::vector<FoundModule>& found);

} // namespace pixtera::detection
