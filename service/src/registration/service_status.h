// SPDX-License-Identifier: MIT
#pragma once
// Reports the service's state to systemd (sd_notify) in place of the service control manager.

#include <pixtera/platform/types.h>

#include <string>

namespace pixtera {

// The Windows service states the service moves through.
enum class ServiceState : DWORD { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };

// True when systemd started this process and listens for its notifications.
bool StartedByServiceManager();

void ReportServiceState(ServiceState state);
// Tells systemd why the process ends before it was ever ready.
void ReportServiceEnd(const std::string& reason);

// The exit code of a start beside a running instance; the unit does not restart on it.
inline constexpr int kAnotherInstanceRuns = 3;

} // namespace pixtera
