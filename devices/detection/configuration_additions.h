// SPDX-License-Identifier: MIT
#pragma once
// Adding the modules detection found to pixtera2.xml: a driver element for each module the file
// does not drive yet, however its configuration is spelt, and nothing else touched.

#include "module_detection.h"

#include <pugixml.hpp>

#include <string>
#include <vector>

namespace pixtera::detection {

// What a configuration drives: two configurations with one place drive one module.
std::string ModulePlace(const std::string& progId, const std::string& configuration);

// Appends the modules not configured yet to PixteraConfiguration/drivers (made when missing);
// the modules added.
std::vector<FoundModule> AddNewModules(pugi::xml_document& document, const std::vector<FoundModule>& found);

} // namespace pixtera::detection
