// SPDX-License-Identifier: MIT
#pragma once
// Turns pixtera2.xml into running objects: drivers, displays with their queues, data providers.

#include <filesystem>

namespace pixtera {

class DriverManager;
class DataManager;
class DisplayManager;

// True when the load ran to its end (also for a missing or malformed file); false when it was
// cut short (a driver without clsid, a failing Wrap).
bool LoadConfigurationFile(const std::filesystem::path& path, DriverManager& drivers, DataManager& data,
                           DisplayManager& displays);

} // namespace pixtera
