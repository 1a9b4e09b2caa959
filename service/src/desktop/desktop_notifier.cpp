// SPDX-License-Identifier: MIT
#include "desktop_notifier.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/message_box.h>
#include <pixtera/platform/thread.h>

#include <chrono>
#include <map>
#include <vector>

namespace pixtera {
namespace {

constexpr std::size_t kMostQueued = 16; // a flood of messages keeps only the newest
constexpr int32_t kExpireMs = 10000;

} // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::Connect()
{
    try {
        return std::unique_ptr<DesktopNotifier>(new DesktopNotifier(sdbus::createSessionBusConnection()));
    } catch (const sdbus::Error&) {
        return nullptr;
    }
}

DesktopNotifier::DesktopNotifier(std::unique_ptr<sdbus::IConnection> connection)
    : connection_(std::move(connection)),
      proxy_(sdbus::createProxy(*connection_, "org.freedesktop.Notifications", "/org/freedesktop/Notifications"))
{
    sender_ = std::thread([this] {
        NameThisThread("px-notify");
        while (true) {
            Message message;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                message = std::move(queue_.front());
                queue_.pop_front();
            }
            Send(message);
        }
    });
}

DesktopNotifier::~DesktopNotifier()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    sender_.join();
}

void DesktopNotifier::Notify(std::string_view text, std::string_view caption, unsigned type)
{
    const bool error = (type & 0xF0) == MB_ICONERROR;
    const std::string line = caption.empty() ? std::string(text) : std::string(caption) + ": " + std::string(text);
    error ? LogError(line) : LogWarning(line);
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= kMostQueued)
            queue_.pop_front();
        queue_.push_back({std::string(caption.empty() ? "Pixtera" : caption), std::string(text), error});
    }
    wake_.notify_one();
}

void DesktopNotifier::Send(const Message& message)
{
    const std::map<std::string, sdbus::Variant> hints{
        {"urgency", sdbus::Variant(static_cast<uint8_t>(message.error ? 2 : 1))}};
    try {
        uint32_t id = 0;
        proxy_->callMethod("Notify")
            .onInterface("org.freedesktop.Notifications")
            .withTimeout(std::chrono::seconds(5))
            .withArguments(std::string("Pixtera"), lastId_, std::string("video-display"), message.summary, message.body,
                           std::vector<std::string>{}, hints, kExpireMs)
            .storeResultsTo(id);
        lastId_ = id; // the next one replaces this one
    } catch (const sdbus::Error&) {
        // No notification server: the log has it.
    }
}

} // namespace pixtera
