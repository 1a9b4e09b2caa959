// SPDX-License-Identifier: MIT
#pragma once
// The second half of applying a new configuration: the old service is waited for until its bus
// name is free (and killed, said so, when it does not go in time), then exactly one new service is
// started the way its registration says and waited for until it owns the name. The event loop
// runs throughout, so the window keeps painting, and every wait has a deadline.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace pixtera::designer {

class ServiceSession;

// Runs the event loop in steps until `done` holds (true) or `limitMs` passed (false).
bool WaitWhileRunningEvents(const std::function<bool()>& done, int stepMs, int limitMs);

struct RestartLimits {
    int oldServiceMs = 10000; // for the old service to let go of its name
    int newServiceMs = 30000; // for the new one to take it
};

// `oldServer` is the unique bus name of the service that was told to shut down (empty: none).
// Returns the new session, or none with `failure` saying why; `notice` says what else the user
// should know (an old service that had to be killed).
std::unique_ptr<ServiceSession> RestartService(const std::filesystem::path& program, const std::string& oldServer,
                                               std::string* failure, std::string* notice = nullptr,
                                               RestartLimits limits = {});

} // namespace pixtera::designer
