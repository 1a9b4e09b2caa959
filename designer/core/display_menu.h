// SPDX-License-Identifier: MIT
#pragma once
// A display's menu in pixtera2.xml: the menu file named on a driver's display element, and the
// driver's keys switched on with it, so that the display's keys reach the menu.

#include <pixtera/menu_file.h>

#include <pugixml.hpp>

#include <filesystem>
#include <string>

namespace pixtera::designer {

// Whether the driver element drives a display (display active="yes").
bool DrivesDisplay(const pugi::xml_node& driver);
// The menu file bound to the driver's display; empty when none is.
std::string BoundMenu(const pugi::xml_node& driver);
// The designs of the driver's queue, which a menu's ShowDesign entries may name.
MenuDesigns QueueDesigns(const pugi::xml_node& driver);
// Binds `file` to the driver's display and switches its keys on (input active="yes"): only a
// menu the display would read, with no design outside its queue; otherwise nothing changes and
// `why` says what is wrong. An empty `file` unbinds (the keys stay as they are).
bool BindMenu(pugi::xml_node driver, const std::filesystem::path& file, std::string* why = nullptr);

} // namespace pixtera::designer
