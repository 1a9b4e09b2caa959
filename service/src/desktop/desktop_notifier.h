// SPDX-License-Identifier: MIT
#pragma once
// The service's message boxes as desktop notifications (org.freedesktop.Notifications). The
// caller never waits: messages are queued and sent by a thread of the notifier's own, each
// replacing the previous notification. Every message is logged; with no notification server it
// is only logged.

#include <sdbus-c++/sdbus-c++.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace pixtera {

class DesktopNotifier {
public:
    // Nothing when there is no session bus.
    static std::unique_ptr<DesktopNotifier> Connect();
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;
    ~DesktopNotifier();

    void Notify(std::string_view text, std::string_view caption, unsigned type);

private:
    struct Message {
        std::string summary;
        std::string body;
        bool error;
    };

    explicit DesktopNotifier(std::unique_ptr<sdbus::IConnection> connection);
    void Send(const Message& message);

    std::unique_ptr<sdbus::IConnection> connection_; // used by the sending thread only
    std::unique_ptr<sdbus::IProxy> proxy_;
    uint32_t lastId_ = 0;

    std::mutex mutex_; // guards queue_ and stopping_
    std::condition_variable wake_;
    std::deque<Message> queue_;
    bool stopping_ = false;
    std::thread sender_;
};

} // namespace pixtera
