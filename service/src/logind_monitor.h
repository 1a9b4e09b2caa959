// SPDX-License-Identifier: MIT
#pragma once
// What logind says on the system bus about this user's session and the machine: the session
// locked or idle (LockedHint, IdleHint, IdleSinceHintMonotonic, with PropertiesChanged) and the
// machine going to sleep or waking (PrepareForSleep). Everything comes as signals; the
// connection has a thread of its own, and the handlers run on it.

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera {

struct SessionHints {
    bool locked = false;
    bool idle = false;
    std::uint64_t idleSince = 0; // CLOCK_MONOTONIC microseconds, while idle
};

class LogindMonitor {
public:
    struct Handlers {
        std::function<void(bool sleeping)> sleep;
        std::function<void(const SessionHints&)> session;
    };

    // Nothing when there is no system bus (said in the log).
    static std::unique_ptr<LogindMonitor> Start();

    explicit LogindMonitor(std::unique_ptr<sdbus::IConnection> connection);
    LogindMonitor(const LogindMonitor&) = delete;
    LogindMonitor& operator=(const LogindMonitor&) = delete;
    ~LogindMonitor();

    // The handlers are called until the monitor is destroyed: it must end before what they use.
    void Subscribe(Handlers handlers);
    // The graphical session's hints; nothing when the user has no session logind knows.
    std::optional<SessionHints> session() const;

private:
    std::optional<std::string> FindSession();
    void ApplySession(const std::map<std::string, sdbus::Variant>& properties);
    void Sleep(bool sleeping);

    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IProxy> manager_;
    std::unique_ptr<sdbus::IProxy> session_;

    mutable std::mutex mutex_; // guards hints_ and handlers_
    std::optional<SessionHints> hints_;
    std::vector<Handlers> handlers_;
};

} // namespace pixtera
