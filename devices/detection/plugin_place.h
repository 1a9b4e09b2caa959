// SPDX-License-Identifier: MIT
#pragma once
// Where a configured plug-in does its work, for people and in detection's words: "/dev/ttyACM0",
// "/dev/i2c-1 address 0x27", "LCDd at 127.0.0.1:13666", the file or terminal it uses. Two displays
// of one driver are told apart by it.

#include <string>

namespace pixtera::detection {

// The place `configuration` gives the plug-in `progId`, its defaults counted for the drivers
// detection knows. Without a ProgID (a display known only by its configuration), the keys that
// name a place. Empty when there is none.
std::string PlaceOf(const std::string& progId, const std::string& configuration);

} // namespace pixtera::detection
