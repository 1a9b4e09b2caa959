// SPDX-License-Identifier: MIT
#pragma once
// What the bus daemon knows of the service's well-known name: who owns it now and that owner's
// process. The daemon answers at once, whatever state the service is in.

#include <sdbus-c++/IConnection.h>

#include <chrono>
#include <string>

#include <sys/types.h>

namespace pixtera::remote {

// The unique name of the connection that owns the service's name; empty when nobody does.
std::string ServiceNameOwner(sdbus::IConnection& connection,
                             std::chrono::milliseconds timeout = std::chrono::seconds(1));
// The process behind a connection (a unique or well-known name); 0 when it cannot be told.
pid_t ConnectionProcess(sdbus::IConnection& connection, const std::string& name,
                        std::chrono::milliseconds timeout = std::chrono::seconds(1));

} // namespace pixtera::remote
