// SPDX-License-Identifier: MIT
#pragma once
// Programs on the test's bus: one that sends signals of any types, to all or to one connection,
// and one that listens, with its event loop on a thread of its own.

#include <sdbus-c++/sdbus-c++.h>

#include <memory>
#include <string>

namespace pixtera::bus::test {

inline constexpr const char* kTestInterface = "org.pixtera.Test";

class Emitter {
public:
    explicit Emitter(const std::string& path = "/test")
        : connection_(sdbus::createSessionBusConnection()), object_(sdbus::createObject(*connection_, path))
    {
    }

    // `destination` empty: to everybody who matches.
    template <class... Arguments>
    void EmitTo(const std::string& destination, const std::string& interface, const std::string& member,
                const Arguments&... arguments)
    {
        auto signal = object_->createSignal(interface, member);
        if (!destination.empty())
            signal.setDestination(destination);
        (void)(signal << ... << arguments);
        signal.send();
    }
    template <class... Arguments>
    void Emit(const std::string& member, const Arguments&... arguments)
    {
        EmitTo("", kTestInterface, member, arguments...);
    }

    std::string name() const { return connection_->getUniqueName(); }
    sdbus::IConnection& connection() { return *connection_; }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> object_;
};

class Listener {
public:
    Listener() : connection_(sdbus::createSessionBusConnection()) {}
    ~Listener() { connection_->leaveEventLoop(); }

    void Start() { connection_->enterEventLoopAsync(); }
    std::string name() const { return connection_->getUniqueName(); }
    sdbus::IConnection& connection() { return *connection_; }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
};

} // namespace pixtera::bus::test
