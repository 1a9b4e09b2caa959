// SPDX-License-Identifier: MIT
#pragma once
// What udev's database says a serial port is for, when that is something other than a display:
// a modem or a GPS receiver, whose port another program (ModemManager, gpsd) will want and
// which a probe must not write into.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pixtera::detection {

// Where udev keeps each device's properties, a file per device ("c188:0" for a character device).
inline constexpr const char* kUdevDatabase = "/run/udev/data";

// The reason from a device's database record ("E:KEY=VALUE" lines): "a modem (ID_MM_PORT_TYPE_AT_PRIMARY=1)",
// "a GPS receiver (ID_GNSS=1)", or nothing.
//
// ID_MM_CANDIDATE=1 alone is no mark: ModemManager's rules set it on every tty, displays included.
std::optional<std::string> OtherUseInRecord(std::string_view record);

// The same for the character device `device` (a /dev path; links are followed), from the database
// in `database`; nothing when it has no record there.
std::optional<std::string> OtherUseOf(const std::filesystem::path& database, const std::string& device);

} // namespace pixtera::detection
