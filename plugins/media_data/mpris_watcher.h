// SPDX-License-Identifier: MIT
#pragma once
// The MPRIS2 players on the session bus, followed by their signals only: players coming and going
// (NameOwnerChanged), their properties (PropertiesChanged) and jumps (Seeked). A player's
// properties are asked for once, when it appears, and never waited for: the answer is applied
// when it comes, and a player that gives none is followed by its signals. The connection has a
// thread of its own, which runs every handler and alone uses the connection and `tracked_` once
// the constructor returned.
//
// Any program may own a player's name or send these signals: every handler reads under a
// bus::HandlerGuard, and at most `maxPlayers` players are followed.

#include "mpris_messages.h"
#include "now_playing.h"

#include <pixtera/bus/handler_guard.h>
#include <pixtera/bus/once_per_sender.h>

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace pixtera::media {

class MprisWatcher {
public:
    static constexpr std::size_t kMaxPlayers = 32;

    // Throws sdbus::Error when there is no session bus.
    explicit MprisWatcher(std::unique_ptr<sdbus::IConnection> connection, std::size_t maxPlayers = kMaxPlayers);
    MprisWatcher(const MprisWatcher&) = delete;
    MprisWatcher& operator=(const MprisWatcher&) = delete;
    ~MprisWatcher();

    // The players as they are now, in the order they appeared.
    std::vector<PlayerState> Players() const;

private:
    // A player's name as the watcher follows it.
    struct Tracked {
        std::string owner; // the unique name whose signals count
        std::uint64_t appeared = 0; // order of appearance
        bool answered = false; // it answered a question of ours
        std::unique_ptr<sdbus::IProxy> proxy; // its questions in flight end with it
    };

    void Discover();
    void Appeared(const std::string& busName, const std::string& owner);
    void Vanished(const std::string& busName);
    // Frees a place for a new player: the oldest one that never answered goes. False when every
    // player followed has answered.
    bool MakeRoom();
    void Ask(const std::string& busName, sdbus::IProxy& proxy);
    void Answered(const std::string& busName, const sdbus::Error* error, const char* question);
    bool OnPropertiesChanged(sdbus::Message& message);
    bool OnSeeked(sdbus::Message& message);
    // The bus name of the player owned by `owner`, if it is followed.
    const std::string* NameOwnedBy(const std::string& owner) const;
    // Runs `edit` on the state of the player `busName`, if there is one, under mutex_.
    template <class Edit>
    void Update(const std::string& busName, Edit&& edit);

    std::unique_ptr<sdbus::IConnection> connection_;
    const std::size_t maxPlayers_;
    bus::HandlerGuard guard_{"Media data"};
    bus::OncePerSender silentPlayers_{16}; // players the log said did not answer
    std::unique_ptr<sdbus::IProxy> bus_; // org.freedesktop.DBus
    std::vector<sdbus::Slot> matches_;
    std::map<std::string, Tracked> tracked_; // by bus name; the connection's thread's alone
    std::uint64_t appearances_ = 0; // likewise
    bool saidFull_ = false; // likewise

    mutable std::mutex mutex_; // guards players_
    std::vector<PlayerState> players_;
};

} // namespace pixtera::media
