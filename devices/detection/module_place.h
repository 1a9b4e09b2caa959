// SPDX-License-Identifier: MIT
#pragma once
// Which module a driver's configuration drives, told by the settings the driver describes as its
// place: "address=39" and "bus=1;address=0x27" name one module, "host=localhost" and
// "host=127.0.0.1;port=13666" another. No driver is named here: its described settings say it.

#include "module_detection.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pixtera::detection {

// The ProgID and the values of the place settings, each as the driver reads it (a missing or
// unusable one at its default). A driver that describes no place is known by its whole
// configuration.
std::string ModulePlace(const std::string& progId, const std::string& configuration,
                        std::span<const SettingDescription> settings);

// A number setting's value as the driver reads it: integer settings in decimal, others also as
// 0x27, within [minimum, maximum] when they differ; else its default, or nothing when that is no
// number either.
std::optional<LONG> NumberAsRead(const SettingDescription& setting, const std::optional<std::string>& value);

// Whether the driver `progId`, configured so, drives `module` (as found, or as one of the other
// configurations that reach it).
bool DrivesModule(const std::string& progId, const std::string& configuration, const FoundModule& module);

// The places of every configuration that reaches `module`, its own first.
std::vector<std::string> ModulePlaces(const FoundModule& module);

} // namespace pixtera::detection
