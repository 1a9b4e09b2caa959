// SPDX-License-Identifier: MIT
#include "service_status.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>

namespace pixtera {

bool StartedByServiceManager()
{
    const char* socket = std::getenv("NOTIFY_SOCKET");
    return socket && *socket;
}

void ReportServiceState(ServiceState state)
{
    switch (state) {
    case ServiceState::StartPending: sd_notify(0, "STATUS=Starting"); break;
    case ServiceState::Running: sd_notify(0, "READY=1\nSTATUS=Running"); break;
    case ServiceState::StopPending: sd_notify(0, "STOPPING=1\nSTATUS=Stopping"); break;
    case ServiceState::Stopped: sd_notify(0, "STATUS=Stopped"); break;
    }
}

void ReportServiceEnd(const std::string& reason) { sd_notify(0, ("STATUS=Not started: " + reason).c_str()); }

} // namespace pixtera
