// SPDX-License-Identifier: MIT
#pragma once
// What logind says on the system bus about this user's session and the machine: the session
// locked or idle (LockedHint, IdleHint, IdleSinceHintMonotonic, with PropertiesChanged), the
// machine going to sleep or waking (PrepareForSleep), and the user's sessions coming and going
// (SessionNew, SessionRemoved, the user's Display). Everything comes as signals; the connection
// has a thread of its own, and the handlers run on it.
//
// Anyone on the system bus may send a signal to this connection under any interface and member,
// so a signal counts only when it comes from the connection that owns org.freedesktop.login1
// now: its unique name is asked for at start and followed through the bus driver's
// NameOwnerChanged. What does not read as logind sends it is dropped, with a line in the log
// once per sender.

#include "logind_signals.h"
#include "session_hints.h"

#include <pixtera/bus/once_per_sender.h>

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera {

class LogindMonitor {
public:
    struct Handlers {
        std::function<void(bool sleeping)> sleep;
        // Nothing: the user has no session logind knows (any more).
        std::function<void(const std::optional<SessionHints>&)> session;
    };

    // Nothing when there is no system bus (said in the log).
    static std::unique_ptr<LogindMonitor> Start();

    explicit LogindMonitor(std::unique_ptr<sdbus::IConnection> connection);
    LogindMonitor(const LogindMonitor&) = delete;
    LogindMonitor& operator=(const LogindMonitor&) = delete;
    ~LogindMonitor();

    // The session handler is called at once with the session as it is now, then on every change;
    // handlers are called until the monitor is destroyed: it must end before what they use. They
    // must not call the monitor.
    void Subscribe(Handlers handlers);

private:
    using Reader = void (LogindMonitor::*)(sdbus::Message&);

    // At start, on the constructing thread, each answer awaited for a bounded time.
    void Watch(const std::string& rule, Reader reader);
    std::string AskOwner();
    std::optional<std::string> FindSession();
    void ReadHintsNow();

    // On the connection's thread: never waits for logind.
    void OnOwnerChanged(sdbus::Message& message);
    void OnPrepareForSleep(sdbus::Message& message);
    void OnSessionAnnounced(sdbus::Message& message);
    void OnUserChanged(sdbus::Message& message);
    void OnSessionChanged(sdbus::Message& message);
    bool FromLogind(const sdbus::Message& message);
    void Malformed(const sdbus::Message& message);
    void AskDisplay(bool rereadHints);
    void Follow(const std::string& path, bool rereadHints);
    void AskHints();
    void ApplyHints(std::uint64_t request, const HintsChange& change);
    void NotifySession();

    std::unique_ptr<sdbus::IConnection> connection_;
    // Used at start, then by the connection's thread alone.
    std::unique_ptr<sdbus::IProxy> bus_;
    std::unique_ptr<sdbus::IProxy> manager_;
    std::unique_ptr<sdbus::IProxy> user_;
    std::unique_ptr<sdbus::IProxy> session_;
    std::vector<sdbus::Slot> matches_;

    // Unique names are never used twice, so a peer could make endless new ones: few are named.
    static constexpr std::size_t kNamedSenders = 32;
    bus::OncePerSender impostors_{kNamedSenders}; // thread-safe
    bus::OncePerSender malformed_{kNamedSenders}; // thread-safe

    std::mutex mutex_; // guards everything below
    std::string owner_; // logind's unique name; empty while nobody owns the name
    std::optional<std::string> sessionPath_;
    bool ownSession_ = false; // the service runs in that session (else it is the user's Display)
    std::optional<SessionHints> hints_;
    std::uint64_t displayRequest_ = 0; // answers to earlier questions are dropped
    std::uint64_t hintsRequest_ = 0;
    std::vector<Handlers> handlers_;
};

} // namespace pixtera
