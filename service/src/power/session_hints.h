// SPDX-License-Identifier: MIT
#pragma once
// What logind tells of a session that the power policy uses.

#include <cstdint>

namespace pixtera {

struct SessionHints {
    bool locked = false;
    bool idle = false;
    std::uint64_t idleSince = 0; // CLOCK_MONOTONIC microseconds, while idle
};

} // namespace pixtera
