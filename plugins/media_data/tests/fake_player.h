// SPDX-License-Identifier: MIT
#pragma once
// An MPRIS2 player on the test's session bus: org.mpris.MediaPlayer2.<suffix> with the Player
// interface's status, metadata, position and rate, announcing changes as players do. It may own
// more MPRIS names on its one connection, as players with several windows do. It counts the
// reads of its properties that others make.

#include <sdbus-c++/sdbus-c++.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace pixtera::media::test {

class FakePlayer {
public:
    FakePlayer(const std::string& suffix, const std::string& identity)
        : connection_(sdbus::createSessionBusConnection(kPrefix + suffix)), identity_(identity)
    {
        object_ = sdbus::createObject(*connection_, "/org/mpris/MediaPlayer2");
        object_->registerProperty("Identity").onInterface("org.mpris.MediaPlayer2").withGetter([this] {
            return Read(identity_);
        });
        object_->registerProperty("PlaybackStatus").onInterface(kPlayer).withGetter([this] {
            std::lock_guard lock(mutex_);
            return Read(status_);
        });
        object_->registerProperty("Metadata").onInterface(kPlayer).withGetter([this] {
            std::lock_guard lock(mutex_);
            return Read(Metadata());
        });
        object_->registerProperty("Position").onInterface(kPlayer).withGetter([this] {
            std::lock_guard lock(mutex_);
            return Read(position_);
        });
        object_->registerProperty("Rate").onInterface(kPlayer).withGetter([this] { return Read(1.0); });
        object_->registerSignal("Seeked").onInterface(kPlayer).withParameters<std::int64_t>();
        object_->finishRegistration();
        connection_->enterEventLoopAsync();
    }
    ~FakePlayer() { connection_->leaveEventLoop(); }

    // A new track or status, announced in one PropertiesChanged; position in microseconds.
    void Play(const std::string& status, const std::string& title, const std::vector<std::string>& artists,
              std::int64_t length, std::int64_t position = 0)
    {
        {
            std::lock_guard lock(mutex_);
            status_ = status;
            title_ = title;
            artists_ = artists;
            length_ = length;
            position_ = position;
        }
        Announce({"PlaybackStatus", "Metadata"});
    }
    void SetStatus(const std::string& status)
    {
        {
            std::lock_guard lock(mutex_);
            status_ = status;
        }
        Announce({"PlaybackStatus"});
    }
    void Seek(std::int64_t position)
    {
        {
            std::lock_guard lock(mutex_);
            position_ = position;
        }
        object_->emitSignal("Seeked").onInterface(kPlayer).withArguments(position);
    }

    // Takes or gives up org.mpris.MediaPlayer2.<suffix>. The connection's loop stands meanwhile:
    // one thread at a time uses a connection.
    void Own(const std::string& suffix)
    {
        Stopped([&] { connection_->requestName(kPrefix + suffix); });
    }
    void Disown(const std::string& suffix)
    {
        Stopped([&] { connection_->releaseName(kPrefix + suffix); });
    }

    // Any signal from the player's own connection, with arguments of any types: a player that
    // misbehaves.
    template <class... Arguments>
    void Send(const std::string& interface, const std::string& member, const Arguments&... arguments)
    {
        auto signal = object_->createSignal(interface, member);
        (void)(signal << ... << arguments);
        signal.send();
    }
    std::string owner() const { return connection_->getUniqueName(); }

    // Reads by others of the player's properties.
    int reads() const { return reads_; }

private:
    static constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
    static constexpr const char* kPrefix = "org.mpris.MediaPlayer2.";

    template <class Action>
    void Stopped(Action&& action)
    {
        connection_->leaveEventLoop();
        action();
        connection_->enterEventLoopAsync();
    }

    template <class T>
    T Read(T value)
    {
        if (!announcing_)
            ++reads_;
        return value;
    }
    std::map<std::string, sdbus::Variant> Metadata() const
    {
        return {{"xesam:title", sdbus::Variant(title_)},
                {"xesam:artist", sdbus::Variant(artists_)},
                {"xesam:album", sdbus::Variant(std::string("Album"))},
                {"mpris:length", sdbus::Variant(length_)}};
    }
    void Announce(const std::vector<std::string>& properties)
    {
        announcing_ = true;
        object_->emitPropertiesChangedSignal(kPlayer, properties);
        announcing_ = false;
    }

    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IObject> object_;
    const std::string identity_;
    std::mutex mutex_; // guards the player's state below: its bus thread answers while the test sets it
    std::string status_ = "Stopped";
    std::string title_;
    std::vector<std::string> artists_;
    std::int64_t length_ = 0;
    std::int64_t position_ = 0;
    std::atomic<bool> announcing_{false};
    std::atomic<int> reads_{0};
};

} // namespace pixtera::media::test
