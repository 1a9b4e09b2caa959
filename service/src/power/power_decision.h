// SPDX-License-Identifier: MIT
#pragma once
// Whether the displays should be dark now, by the user's power policy: the session locked or
// idle long enough, the machine about to sleep, or the hours of the night. The reasons combine.

#include "session_hints.h"

#include <pixtera/power_settings.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace pixtera {

struct PowerState {
    std::optional<SessionHints> session; // none: no session known
    bool sleeping = false;
};

struct PowerDecision {
    bool blank = false;
    std::string why; // "locked", "idle", "asleep", "hours", joined by ", "
    std::optional<std::chrono::seconds> recheck; // when the answer may change by time alone
};

// `now` in CLOCK_MONOTONIC microseconds (logind's idle time is on that clock); `secondOfDay` the
// local time.
PowerDecision DecidePower(const PowerSettings& settings, const PowerState& state, std::uint64_t now, int secondOfDay);

} // namespace pixtera
