// SPDX-License-Identifier: MIT
#pragma once
// The MPRIS2 players on the session bus, followed by their signals only: players coming and going
// (NameOwnerChanged), their properties (PropertiesChanged) and jumps (Seeked). A player's
// properties are asked for once, when it appears, and never waited for: the answer is applied
// when it comes, and a player that gives none is followed by its signals. The connection has a
// thread of its own, which runs every handler and alone uses the connection and `tracked_` once
// the constructor returned.
//
// A player is a connection (its unique name), whatever MPRIS names it owns: its signals carry
// that unique name, and one program may own org.mpris.MediaPlayer2.vlc and
// org.mpris.MediaPlayer2.vlc.instance123 at once. Its names come and go with NameOwnerChanged;
// when the last one goes, so does the player.
//
// Any program may own a player's name or send these signals: every handler reads under a
// bus::HandlerGuard, at most `maxPlayers` players are followed, and at most kMaxNames names of
// each.

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
    static constexpr std::size_t kMaxNames = 8;

    // Throws sdbus::Error when there is no session bus.
    explicit MprisWatcher(std::unique_ptr<sdbus::IConnection> connection, std::size_t maxPlayers = kMaxPlayers);
    MprisWatcher(const MprisWatcher&) = delete;
    MprisWatcher& operator=(const MprisWatcher&) = delete;
    ~MprisWatcher();

    // The players as they are now, in the order they appeared.
    std::vector<PlayerState> Players() const;

private:
    // A player as the watcher follows it.
    struct Tracked {
        std::vector<std::string> names; // its MPRIS names, at most kMaxNames
        std::uint64_t appeared = 0; // order of appearance
        bool answered = false; // it answered a question of ours
        std::unique_ptr<sdbus::IProxy> proxy; // its questions in flight end with it
    };

    void Discover();
    // `owner` took the MPRIS name `busName`; a player's first name makes it appear.
    void NameTaken(const std::string& busName, const std::string& owner);
    // Nobody owns `busName` any longer, or someone else does.
    void NameLost(const std::string& busName);
    void Forget(const std::string& owner);
    // Frees a place for a new player: the oldest one that never answered goes. False when every
    // player followed has answered.
    bool MakeRoom();
    void Ask(const std::string& owner, sdbus::IProxy& proxy);
    void Answered(const std::string& owner, const sdbus::Error* error, const char* question);
    bool OnPropertiesChanged(sdbus::Message& message);
    bool OnSeeked(sdbus::Message& message);
    // Runs `edit` on the state of the player `owner`, if there is one, under mutex_.
    template <class Edit>
    void Update(const std::string& owner, Edit&& edit);

    std::unique_ptr<sdbus::IConnection> connection_;
    const std::size_t maxPlayers_;
    bus::HandlerGuard guard_{"Media data"};
    bus::OncePerSender silentPlayers_{16}; // players the log said did not answer
    std::unique_ptr<sdbus::IProxy> bus_; // org.freedesktop.DBus
    std::vector<sdbus::Slot> matches_;
    std::map<std::string, Tracked> tracked_; // by unique name; the connection's thread's alone
    std::uint64_t appearances_ = 0; // likewise
    bool saidFull_ = false; // likewise
    bool saidManyNames_ = false; // likewise

    mutable std::mutex mutex_; // guards players_
    std::vector<PlayerState> players_;
};

} // namespace pixtera::media
