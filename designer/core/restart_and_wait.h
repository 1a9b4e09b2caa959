// SPDX-License-Identifier: MIT
#pragma once
// Restarting the service and waiting for it, the second half of applying a new configuration: the
// old service is waited for until it has ended (and killed, said so, when it does not go in time),
// then exactly one new service is started the way its registration says and waited for until it
// owns the name. The event loop runs throughout, so the window keeps painting, and every wait has
// a deadline.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace pixtera::designer {

class EndingService;
class ServiceObjects;

// Runs the event loop in steps until `done` holds (true) or `limitMs` passed (false).
bool WaitWhileRunningEvents(const std::function<bool()>& done, int stepMs, int limitMs);

struct RestartLimits {
    int oldServiceMs = 10000; // for the old service to end
    int newServiceMs = 30000; // for the new one to take it
};

// `old` is the service that was told to shut down (none: nothing to wait for). Returns the new
// session, or none with `failure` saying why; `notice` says what else the user should know (an
// old service that had to be killed, one that ran in a terminal).
std::unique_ptr<ServiceObjects> RestartService(const std::filesystem::path& program, EndingService* old,
                                               std::string* failure, std::string* notice = nullptr,
                                               RestartLimits limits = {});

} // namespace pixtera::designer
