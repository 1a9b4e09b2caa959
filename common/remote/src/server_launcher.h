// SPDX-License-Identifier: MIT
#pragma once
// Finds the running service on the bus, starting the registered program when nobody owns the
// service name.

#include <pixtera/platform/hresult.h>

#include <sdbus-c++/IConnection.h>

#include <string>

namespace pixtera::remote {

// On success `server` is the unique name of the process that owns the service name.
HRESULT EnsureServerRunning(sdbus::IConnection& connection, std::string& server);

} // namespace pixtera::remote
