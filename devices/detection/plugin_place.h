// SPDX-License-Identifier: MIT
#pragma once
// Where a configured plug-in does its work, for people and in detection's words: "/dev/ttyACM0",
// "/dev/i2c-1 address 0x27", "LCDd at 127.0.0.1:13666", the file or terminal it uses. Two displays
// of one driver are told apart by it.

#include <pixtera/sdk/described_driver.h>

#include <span>
#include <string>

namespace pixtera::detection {

// The place `configuration` gives the plug-in `progId`, read through the description of the
// driver of that ProgID among `drivers` (its defaults counted). Without a ProgID (a display known
// only by its configuration), the first driver one of whose place keys the configuration has.
// Otherwise the file or terminal a plug-in names; empty when there is none.
std::string PlaceOf(const std::string& progId, const std::string& configuration,
                    std::span<const DescribedDriver* const> drivers);
// Among the drivers detection knows.
std::string PlaceOf(const std::string& progId, const std::string& configuration);

} // namespace pixtera::detection
