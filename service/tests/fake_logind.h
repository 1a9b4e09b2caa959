// SPDX-License-Identifier: MIT
#pragma once
// logind as the service meets it, on a system bus of the test's own: the manager with
// PrepareForSleep and GetSessionByPID, and one session whose LockedHint, IdleHint and
// IdleSinceHintMonotonic the test sets, announced with PropertiesChanged as logind does.

#include <sdbus-c++/sdbus-c++.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace pixtera::test {

class FakeLogind {
public:
    FakeLogind() : connection_(sdbus::createSystemBusConnection("org.freedesktop.login1"))
    {
        manager_ = sdbus::createObject(*connection_, "/org/freedesktop/login1");
        manager_->registerSignal("PrepareForSleep").onInterface(kManager).withParameters<bool>();
        manager_->registerMethod("GetSessionByPID").onInterface(kManager).implementedAs([](std::uint32_t) {
            return sdbus::ObjectPath(kSessionPath);
        });
        manager_->finishRegistration();
        session_ = sdbus::createObject(*connection_, kSessionPath);
        session_->registerProperty("LockedHint").onInterface(kSession).withGetter([this] { return locked_.load(); });
        session_->registerProperty("IdleHint").onInterface(kSession).withGetter([this] { return idle_.load(); });
        session_->registerProperty("IdleSinceHintMonotonic").onInterface(kSession).withGetter([this] {
            return idleSince_.load();
        });
        session_->finishRegistration();
        connection_->enterEventLoopAsync();
    }
    ~FakeLogind() { connection_->leaveEventLoop(); }

    void PrepareForSleep(bool sleeping)
    {
        manager_->emitSignal("PrepareForSleep").onInterface(kManager).withArguments(sleeping);
    }
    void Lock(bool locked)
    {
        locked_ = locked;
        session_->emitPropertiesChangedSignal(kSession, {"LockedHint"});
    }
    void Idle(bool idle, std::uint64_t since)
    {
        idle_ = idle;
        idleSince_ = since;
        session_->emitPropertiesChangedSignal(kSession, {"IdleHint", "IdleSinceHintMonotonic"});
    }

private:
    static constexpr const char* kManager = "org.freedesktop.login1.Manager";
    static constexpr const char* kSession = "org.freedesktop.login1.Session";
    static constexpr const char* kSessionPath = "/org/freedesktop/login1/session/_1";

    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> manager_;
    std::unique_ptr<sdbus::IObject> session_;
    std::atomic<bool> locked_{false};
    std::atomic<bool> idle_{false};
    std::atomic<std::uint64_t> idleSince_{0};
};

} // namespace pixtera::test
