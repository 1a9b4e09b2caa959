// SPDX-License-Identifier: MIT
#pragma once
// The MPRIS2 players on the session bus, followed by their signals only: players coming and going
// (NameOwnerChanged), their properties (PropertiesChanged) and jumps (Seeked). A player's
// properties are asked for once, when it appears; nothing is polled. The connection has a thread
// of its own.

#include "now_playing.h"

#include <sdbus-c++/sdbus-c++.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace pixtera::media {

class MprisWatcher {
public:
    // Throws sdbus::Error when there is no session bus.
    explicit MprisWatcher(std::unique_ptr<sdbus::IConnection> connection);
    MprisWatcher(const MprisWatcher&) = delete;
    MprisWatcher& operator=(const MprisWatcher&) = delete;
    ~MprisWatcher();

    // The players as they are now, in the order they appeared.
    std::vector<PlayerState> Players() const;

private:
    void Discover();
    void Appeared(const std::string& busName, const std::string& owner);
    void Vanished(const std::string& busName);
    void OnPropertiesChanged(sdbus::Message& message);
    void OnSeeked(sdbus::Message& message);
    // Applies Player properties to the player owned by `owner`.
    void Apply(PlayerState& player, const std::map<std::string, sdbus::Variant>& properties, Clock::time_point now);
    PlayerState* ByOwner(const std::string& owner);

    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IProxy> bus_; // org.freedesktop.DBus
    std::vector<sdbus::Slot> matches_;

    mutable std::mutex mutex_; // guards players_ and owners_
    std::vector<PlayerState> players_;
    std::map<std::string, std::string> owners_; // bus name -> unique name
};

} // namespace pixtera::media
