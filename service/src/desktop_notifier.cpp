#include "desktop_notifier.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/message_box.h>

#include <chrono>
#include <map>
#include <vector>

namespace pixtera {

DesktopNotifier::DesktopNotifier(SessionBus& bus)
    : proxy_(sdbus::createProxy(bus.connection(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications"))
{
    proxy_->finishRegistration();
}

void DesktopNotifier::Notify(std::string_view text, std::string_view caption, unsigned type)
{
    const std::string line = caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
    const bool error = (type & 0xF0) == MB_ICONERROR;
    if (error)
        LogError(line);
    else
        LogWarning(line);
    const uint8_t urgency = error ? 2 : 1;
    std::map<std::string, sdbus::Variant> hints{{"urgency", sdbus::Variant(urgency)}};
    try {
        proxy_->callMethodAsync("Notify")
            .onInterface("org.freedesktop.Notifications")
            .withArguments(std::string("Pixtera"), lastId_.load(), std::string("video-display"),
                           std::string(caption.empty() ? "Pixtera" : caption), std::string(text),
                           std::vector<std::string>{}, hints, int32_t{10000})
            .withTimeout(std::chrono::seconds(5))
            .uponReplyInvoke([this](const sdbus::Error* failure, uint32_t id) {
                if (!failure)
                    lastId_ = id; // the next one replaces this one
            });
    } catch (const sdbus::Error&) {
        // No notification server: the log has it.
    }
}

} // namespace pixtera
