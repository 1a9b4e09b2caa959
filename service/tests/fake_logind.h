// SPDX-License-Identifier: MIT
#pragma once
// logind as the service meets it, on a system bus of the test's own: the manager with
// PrepareForSleep, SessionNew, SessionRemoved and GetSessionByPID, the requests a menu makes
// (LockSession, Suspend, PowerOff, Reboot: recorded, and refused as polkit would when the test
// says so; nothing sleeps or ends), the user with its Display
// session, and sessions whose LockedHint, IdleHint and IdleSinceHintMonotonic the test sets,
// announced with PropertiesChanged as logind does. Each announcement comes alone (logind sends
// SessionNew and the user's changed Display together), so a test shows the service follows each.
//
// Without the name org.freedesktop.login1 (not taken, or given up) it is anybody on the bus who
// claims to be logind: it sends the same signals to every other connection, one by one, the only
// way such a sender reaches the service.

#include <sdbus-c++/sdbus-c++.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pixtera::test {

class FakeLogind {
public:
    struct Options {
        // Takes org.freedesktop.login1; else only claims to be logind.
        bool ownName = true;
        // The test's process runs in `session` (GetSessionByPID answers it), as a service started
        // on the desktop does; else outside any, as a user unit of systemd.
        bool processInSession = true;
        // The user's display session at start; empty: the user has none.
        std::string session = "_1";
    };

    FakeLogind() : FakeLogind(Options{}) {}
    explicit FakeLogind(Options options)
        : connection_(options.ownName ? sdbus::createSystemBusConnection(kName) : sdbus::createSystemBusConnection()),
          processInSession_(options.processInSession)
    {
        manager_ = sdbus::createObject(*connection_, kManagerPath);
        manager_->registerSignal("PrepareForSleep").onInterface(kManager).withParameters<bool>();
        manager_->registerMethod("GetSessionByPID").onInterface(kManager).implementedAs([this](std::uint32_t) {
            std::lock_guard lock(mutex_);
            if (!processInSession_ || display_.empty())
                throw sdbus::Error("org.freedesktop.login1.NoSessionForPID", "no session");
            return sdbus::ObjectPath(SessionPath(display_));
        });
        manager_->registerMethod("LockSession").onInterface(kManager).implementedAs([this](const std::string& id) {
            Asked("LockSession(" + id + ")");
        });
        for (const char* verb : {"Suspend", "PowerOff", "Reboot"})
            manager_->registerMethod(verb).onInterface(kManager).implementedAs([this, verb](bool interactive) {
                Asked(std::string(verb) + "(" + (interactive ? "interactive" : "not interactive") + ")");
            });
        manager_->finishRegistration();
        user_ = sdbus::createObject(*connection_, UserPath());
        user_->registerProperty(kUser, "Display", "(so)",
                                [this](sdbus::PropertyGetReply& reply) { reply << Display(reply.getDestination()); });
        user_->finishRegistration();
        bus_ = sdbus::createObject(*connection_, "/org/freedesktop/DBus");
        if (!options.session.empty())
            AddSession(options.session);
        display_ = options.session;
        connection_->enterEventLoopAsync();
    }
    ~FakeLogind()
    {
        ReleaseDisplay();
        connection_->leaveEventLoop();
    }

    std::string uniqueName() const { return connection_->getUniqueName(); }
    static std::string SessionPath(const std::string& id) { return std::string(kSessionPrefix) + id; }

    void PrepareForSleep(bool sleeping)
    {
        Send([&] {
            auto signal = manager_->createSignal(kManager, "PrepareForSleep");
            signal << sleeping;
            return signal;
        });
    }
    // The display session's hints, announced.
    void Lock(bool locked) { LockSession(DisplaySession(), locked); }
    void LockSession(const std::string& id, bool locked)
    {
        State(id).locked = locked;
        Announce(id, {{"LockedHint", sdbus::Variant(locked)}});
    }
    void Idle(bool idle, std::uint64_t since)
    {
        const std::string id = DisplaySession();
        State(id).idle = idle;
        State(id).idleSince = since;
        Announce(id, {{"IdleHint", sdbus::Variant(idle)}, {"IdleSinceHintMonotonic", sdbus::Variant(since)}});
    }

    // A new session of the user, its display session now; SessionNew.
    void Login(const std::string& id)
    {
        AddSession(id);
        SetDisplay(id);
        AnnounceSession("SessionNew", id);
    }
    // SessionRemoved; the user has no display session any more. Its object stays, as a closing
    // session's does.
    void Logout(const std::string& id)
    {
        SetDisplay("");
        AnnounceSession("SessionRemoved", id);
    }
    // Another of the user's sessions becomes its display session (a greeter's session turning
    // into the desktop): only the user's PropertiesChanged says so.
    void MoveDisplay(const std::string& id)
    {
        AddSession(id);
        SetDisplay(id);
        Send([&] {
            auto signal = user_->createSignal(kProperties, "PropertiesChanged");
            signal << std::string(kUser) << std::map<std::string, sdbus::Variant>{}
                   << std::vector<std::string>{"Display"};
            return signal;
        });
    }

    // The requests asked so far, oldest first: "PowerOff(interactive)", "LockSession(auto)".
    std::vector<std::string> asked() const
    {
        std::lock_guard lock(mutex_);
        return asked_;
    }
    // Requests from now on are answered with this error (polkit's refusal:
    // org.freedesktop.DBus.Error.AccessDenied), after they are recorded; "" answers them again.
    void Refuse(std::string errorName)
    {
        std::lock_guard lock(mutex_);
        refusal_ = std::move(errorName);
    }

    // logind under a new name: the test starts another FakeLogind after this.
    void ReleaseName() { connection_->releaseName(kName); }
    // Claims, as the bus driver would, that org.freedesktop.login1 moved to this connection.
    void ClaimTheName()
    {
        Send([&] {
            auto signal = bus_->createSignal("org.freedesktop.DBus", "NameOwnerChanged");
            signal << std::string(kName) << std::string() << uniqueName();
            return signal;
        });
    }

    // Signals under logind's names whose arguments are not of logind's types.
    void SendMalformed()
    {
        Send([&] {
            auto signal = manager_->createSignal(kManager, "PrepareForSleep");
            signal << std::string("true");
            return signal;
        });
        Send([&] { return manager_->createSignal(kManager, "PrepareForSleep"); }); // no argument
        Send([&] {
            auto signal = manager_->createSignal(kManager, "SessionNew");
            signal << std::string("c9") << SessionPath("c9"); // the path as text
            return signal;
        });
        const std::string id = DisplaySession();
        Announce(id, {{"LockedHint", sdbus::Variant(std::string("yes"))}});
        Announce(id, {{"IdleHint", sdbus::Variant(true)}, {"IdleSinceHintMonotonic", sdbus::Variant(-1)}});
        Send([&] {
            auto signal = Session(id).createSignal(kProperties, "PropertiesChanged");
            signal << std::string(kSession) << std::map<std::string, std::int32_t>{{"LockedHint", 1}}
                   << std::vector<std::string>{};
            return signal;
        });
        Send([&] {
            auto signal = user_->createSignal(kProperties, "PropertiesChanged");
            signal << std::string(kUser) << std::vector<std::string>{"Display"};
            return signal;
        });
    }

    // Returns once every other connection has handled what this one sent before: each answers a
    // ping only after the messages that came before it.
    void Flush()
    {
        for (const auto& name : Others()) {
            try {
                sdbus::createProxy(*connection_, name, "/")
                    ->callMethod("Ping")
                    .onInterface("org.freedesktop.DBus.Peer")
                    .withTimeout(std::chrono::seconds(10));
            } catch (const sdbus::Error&) {
                // gone meanwhile
            }
        }
    }

    // The next question for the user's Display waits for ReleaseDisplay: a slow logind. Its thread
    // waits holding the bus library's lock: meanwhile the test calls nothing else on it (a Login
    // that announces the question's cause is sent before).
    void HoldDisplay()
    {
        std::lock_guard lock(holdMutex_);
        hold_ = true;
    }
    void ReleaseDisplay()
    {
        {
            std::lock_guard lock(holdMutex_);
            hold_ = false;
        }
        released_.notify_all();
    }
    // Who asked for the Display while it was held (empty until somebody did).
    std::string heldFor() const
    {
        std::lock_guard lock(holdMutex_);
        return heldFor_;
    }

private:
    static constexpr const char* kName = "org.freedesktop.login1";
    static constexpr const char* kManager = "org.freedesktop.login1.Manager";
    static constexpr const char* kSession = "org.freedesktop.login1.Session";
    static constexpr const char* kUser = "org.freedesktop.login1.User";
    static constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
    static constexpr const char* kManagerPath = "/org/freedesktop/login1";
    static constexpr const char* kSessionPrefix = "/org/freedesktop/login1/session/";

    struct SessionState {
        std::unique_ptr<sdbus::IObject> object;
        std::atomic<bool> locked{false};
        std::atomic<bool> idle{false};
        std::atomic<std::uint64_t> idleSince{0};
    };

    static std::string UserPath() { return "/org/freedesktop/login1/user/_" + std::to_string(getuid()); }

    void Asked(std::string request)
    {
        std::string refusal;
        {
            std::lock_guard lock(mutex_);
            asked_.push_back(std::move(request));
            refusal = refusal_;
        }
        if (!refusal.empty())
            throw sdbus::Error(refusal, "refused by the test");
    }

    // Only the test's thread adds sessions. The bus library is not called under mutex_: its
    // thread holds the library's lock while it asks the getters, which take mutex_.
    void AddSession(const std::string& id)
    {
        {
            std::lock_guard lock(mutex_);
            if (sessions_.count(id) != 0)
                return;
        }
        auto state = std::make_unique<SessionState>();
        SessionState* s = state.get();
        state->object = sdbus::createObject(*connection_, SessionPath(id));
        state->object->registerProperty("LockedHint").onInterface(kSession).withGetter([s] {
            return s->locked.load();
        });
        state->object->registerProperty("IdleHint").onInterface(kSession).withGetter([s] { return s->idle.load(); });
        state->object->registerProperty("IdleSinceHintMonotonic").onInterface(kSession).withGetter([s] {
            return s->idleSince.load();
        });
        state->object->finishRegistration();
        std::lock_guard lock(mutex_);
        sessions_.emplace(id, std::move(state));
    }
    SessionState& State(const std::string& id)
    {
        std::lock_guard lock(mutex_);
        return *sessions_.at(id);
    }
    sdbus::IObject& Session(const std::string& id) { return *State(id).object; }
    std::string DisplaySession() const
    {
        std::lock_guard lock(mutex_);
        return display_;
    }
    void SetDisplay(const std::string& id)
    {
        std::lock_guard lock(mutex_);
        display_ = id;
    }
    sdbus::Struct<std::string, sdbus::ObjectPath> Display(const std::string& asker)
    {
        {
            std::unique_lock lock(holdMutex_);
            if (hold_) {
                heldFor_ = asker;
                released_.wait(lock, [this] { return !hold_; });
            }
        }
        const std::string id = DisplaySession();
        return {id, sdbus::ObjectPath(id.empty() ? "/" : SessionPath(id))};
    }

    void Announce(const std::string& id, const std::map<std::string, sdbus::Variant>& changed)
    {
        Send([&] {
            auto signal = Session(id).createSignal(kProperties, "PropertiesChanged");
            signal << std::string(kSession) << changed << std::vector<std::string>{};
            return signal;
        });
    }
    void AnnounceSession(const char* member, const std::string& id)
    {
        Send([&] {
            auto signal = manager_->createSignal(kManager, member);
            signal << id << sdbus::ObjectPath(SessionPath(id));
            return signal;
        });
    }

    bool OwnsTheName()
    {
        std::string owner;
        try {
            sdbus::createProxy(*connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus")
                ->callMethod("GetNameOwner")
                .onInterface("org.freedesktop.DBus")
                .withArguments(std::string(kName))
                .storeResultsTo(owner);
        } catch (const sdbus::Error&) {
        }
        return owner == uniqueName();
    }
    std::vector<std::string> Others()
    {
        std::vector<std::string> names;
        sdbus::createProxy(*connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus")
            ->callMethod("ListNames")
            .onInterface("org.freedesktop.DBus")
            .storeResultsTo(names);
        std::vector<std::string> others;
        for (const auto& name : names)
            if (name.starts_with(':') && name != uniqueName())
                others.push_back(name);
        return others;
    }
    // Broadcast by the owner, else to every other connection (a sent message is sealed: one each).
    // The messages are kept: letting go of one takes the bus library's lock, which its thread
    // holds while a held Display question waits, so that nothing after the send may need it.
    template <class Make>
    void Send(const Make& make)
    {
        if (OwnsTheName()) {
            sent_.push_back(make());
            sent_.back().send();
            return;
        }
        for (const auto& name : Others()) {
            sent_.push_back(make());
            sent_.back().setDestination(name);
            sent_.back().send();
        }
    }

    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> manager_;
    std::unique_ptr<sdbus::IObject> user_;
    std::unique_ptr<sdbus::IObject> bus_;
    std::vector<sdbus::Signal> sent_; // the test's thread's alone

    // guards sessions_ (the states themselves are atomic), display_, processInSession_, asked_, refusal_
    mutable std::mutex mutex_;
    std::map<std::string, std::unique_ptr<SessionState>> sessions_;
    std::string display_;
    bool processInSession_;
    std::vector<std::string> asked_;
    std::string refusal_;

    mutable std::mutex holdMutex_; // guards hold_ and heldFor_
    std::condition_variable released_;
    bool hold_ = false;
    std::string heldFor_;
};

} // namespace pixtera::test
