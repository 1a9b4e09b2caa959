// SPDX-License-Identifier: MIT
#pragma once
// What names this machine to Home Assistant for good: a key derived from /etc/machine-id for this
// program alone (an HMAC of it, as machine-id(5) asks; the id itself never leaves the machine), so
// that renaming the host keeps every entity.

#include <string>
#include <string_view>

namespace pixtera::bridge {

// 32 lower-case hex digits. Without a machine id (a container without one) it is made from
// `hostname`, and says so once in the log.
std::string MachineKey(std::string_view hostname);

} // namespace pixtera::bridge
