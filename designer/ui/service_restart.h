#pragma once
// The second half of applying a new configuration: the old service is waited for until it has
// gone, then the new one is started on a thread of its own. The event loop runs throughout, so
// the window keeps painting.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace pixtera::designer {

class ServiceSession;

// Runs the event loop in steps until `done` holds (true) or `limitMs` passed (false).
bool WaitWhileRunningEvents(const std::function<bool()>& done, int stepMs, int limitMs);

// Waits (at most ten seconds) until the old session's service no longer answers, then starts the
// service program and connects to it. None, with `failure` saying why, when that fails.
std::unique_ptr<ServiceSession> RestartService(ServiceSession* old, const std::filesystem::path& program,
                                               std::string* failure);

} // namespace pixtera::designer
