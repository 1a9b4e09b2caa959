// SPDX-License-Identifier: MIT
#pragma once
// A menu's SetData: the text goes to the first driver that feeds an item of that name
// (Pixtera.BusData), as a script's SetValue on the bus would.

#include <string>

namespace pixtera {

class DriverManager;

// Empty when a feed took it, else what the display shows.
std::string SetFedText(DriverManager& drivers, const std::string& item, const std::string& value);

} // namespace pixtera
