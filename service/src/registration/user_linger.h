// SPDX-License-Identifier: MIT
#pragma once
// Lingering: logind starts the user's service manager (and with it the session bus and pixtera2)
// at boot and keeps it after the last logout, so a headless machine shows its displays without
// anyone logging in.

#include <string>

namespace pixtera {

struct LingerResult {
    enum class Outcome { Enabled, AlreadyOn, Refused, Unavailable } outcome;
    std::string reason; // for Refused and Unavailable
};

// Asks logind (SetUserLinger on the system bus) to let the current user linger.
LingerResult EnableLingering();

// What to tell the user when lingering could not be switched on: why, and how to do it by hand.
// Empty when it is on.
std::string LingerHint(const LingerResult& result);

} // namespace pixtera
