// SPDX-License-Identifier: MIT
#include "session_bus.h"

#include <pixtera/platform/event_log.h>

namespace pixtera {

std::unique_ptr<SessionBus> SessionBus::Connect()
{
    try {
        return std::unique_ptr<SessionBus>(new SessionBus(sdbus::createSessionBusConnection()));
    } catch (const sdbus::Error&) {
        return nullptr;
    }
}

SessionBus::~SessionBus() { Stop(); }

void SessionBus::Stop()
{
    if (loop_.joinable()) {
        connection_->leaveEventLoop();
        loop_.join();
    }
}

void SessionBus::Start()
{
    if (loop_.joinable())
        return;
    loop_ = Thread(kPluginThreadStack, [this] {
        NameThisThread("px-desktop");
        try {
            connection_->enterEventLoop();
        } catch (const sdbus::Error& error) {
            LogError("The desktop connection ended: " + error.getMessage());
        }
    });
}

} // namespace pixtera
