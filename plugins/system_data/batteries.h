// SPDX-License-Identifier: MIT
#pragma once
// Batteries from /sys/class/power_supply: Battery.<name>.Percent, Status ("Charging",
// "Discharging", "Full", as the kernel says), Power (W) and TimeLeft ("1:23", to empty while
// discharging, to full while charging, where the kernel gives energy or charge and a rate).

#include "sampled_item.h"
#include "sysfs_files.h"

#include <filesystem>

namespace pixtera {

void AddBatteries(const std::filesystem::path& sys, SysfsFiles& files, SampledItems& items);

// Hours as "H:MM".
std::string HoursAndMinutes(double hours);

} // namespace pixtera
