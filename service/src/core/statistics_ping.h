// SPDX-License-Identifier: MIT
#pragma once
// The usage statistics ping: off unless HKEY_LOCAL_MACHINE\Software\pixtera2.0 has "stats" as a
// 32-bit number. Then every process of the service reports its installation id to the
// statistics endpoint every fifteen minutes; every failure is silent.

#include <pixtera/platform/guid.h>

#include <optional>
#include <string>

namespace pixtera {

inline constexpr const char* kStatisticsKey = "Software\\pixtera2.0";
inline constexpr const char* kUserAgent = "Pixtera 1.5.0.1";

// The endpoint: $PIXTERA_STATS_ENDPOINT, else the one this build was configured with.
std::string StatisticsEndpoint();

// True when "stats" exists as a 32-bit number (its value does not matter).
bool StatisticsEnabled();

// The stored installation id; a new one is made and stored when it is missing or not text.
// Empty when the key cannot be opened.
std::string InstallationId();

// "{XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX}": the third group in lower case.
std::string FormatInstallationId(const GUID& id);

// One GET of the URL with the service's user agent and no proxy; false when it failed.
bool SendPing(const std::string& url);

// Starts the ping thread if the statistics are enabled (it runs until the process ends).
void StartStatisticsPing();

} // namespace pixtera
