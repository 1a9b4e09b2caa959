// SPDX-License-Identifier: MIT
#pragma once
// The service's connection for the desktop (tray icon and notifications), with its event loop on
// a thread of its own. Callbacks run on that thread.

#include <pixtera/platform/thread.h>

#include <sdbus-c++/sdbus-c++.h>

#include <memory>

namespace pixtera {

class SessionBus {
public:
    // Nothing when there is no session bus.
    static std::unique_ptr<SessionBus> Connect();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    ~SessionBus();

    sdbus::IConnection& connection() { return *connection_; }
    // Starts the event loop once the objects are exported.
    void Start();
    // Ends the event loop and waits for it: objects of this connection may only be destroyed
    // while no callback can run.
    void Stop();

private:
    explicit SessionBus(std::unique_ptr<sdbus::IConnection> connection) : connection_(std::move(connection)) {}

    std::unique_ptr<sdbus::IConnection> connection_;
    Thread loop_;
};

} // namespace pixtera
