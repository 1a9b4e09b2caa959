// SPDX-License-Identifier: MIT
#pragma once
// Programs on the test's bus that are no players: one that sends players' signals with arguments
// of any types, and one that owns a player's name but never answers (its connection is never
// read, so calls to it wait until they time out).

#include <sdbus-c++/sdbus-c++.h>

#include <memory>
#include <string>

namespace pixtera::media::test {

class Stranger {
public:
    Stranger()
        : connection_(sdbus::createSessionBusConnection()),
          object_(sdbus::createObject(*connection_, "/org/mpris/MediaPlayer2"))
    {
    }

    template <class... Arguments>
    void Send(const std::string& interface, const std::string& member, const Arguments&... arguments)
    {
        auto signal = object_->createSignal(interface, member);
        (void)(signal << ... << arguments);
        signal.send();
    }
    std::string name() const { return connection_->getUniqueName(); }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> object_;
};

class SilentPlayer {
public:
    explicit SilentPlayer(const std::string& suffix)
        : connection_(sdbus::createSessionBusConnection("org.mpris.MediaPlayer2." + suffix))
    {
    }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
};

} // namespace pixtera::media::test
