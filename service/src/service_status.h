// SPDX-License-Identifier: MIT
#pragma once
// Reports the service's state to systemd (sd_notify) in place of the service control manager.

#include <pixtera/platform/types.h>

namespace pixtera {

// The Windows service states the service moves through.
enum class ServiceState : DWORD { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };

// True when systemd started this process and listens for its notifications.
bool StartedByServiceManager();

void ReportServiceState(ServiceState state);

} // namespace pixtera
