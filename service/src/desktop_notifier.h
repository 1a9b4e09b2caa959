#pragma once
// The service's message boxes as desktop notifications (org.freedesktop.Notifications): sent
// without waiting, with a time-out, each replacing the previous one. Every message is logged;
// with no notification server it is only logged.

#include "session_bus.h"

#include <atomic>
#include <memory>
#include <string_view>

namespace pixtera {

class DesktopNotifier {
public:
    explicit DesktopNotifier(SessionBus& bus);
    // Shows a notification; never blocks the calling thread.
    void Notify(std::string_view text, std::string_view caption, unsigned type);

private:
    std::unique_ptr<sdbus::IProxy> proxy_;
    std::atomic<uint32_t> lastId_{0};
};

} // namespace pixtera
