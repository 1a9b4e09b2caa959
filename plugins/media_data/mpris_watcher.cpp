// SPDX-License-Identifier: MIT
#include "mpris_watcher.h"

#include <pixtera/platform/event_log.h>

#include <algorithm>

namespace pixtera::media {
namespace {

constexpr const char* kPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
// A player that does not answer at once is asked no more; its signals still count.
constexpr std::chrono::milliseconds kAnswerTime{1000};

template <class T>
std::optional<T> As(const sdbus::Variant& value)
{
    try {
        return value.get<T>();
    } catch (const sdbus::Error&) {
        return std::nullopt;
    }
}

double Seconds(std::int64_t microseconds) { return static_cast<double>(microseconds) / 1e6; }

} // namespace

MprisWatcher::MprisWatcher(std::unique_ptr<sdbus::IConnection> connection) : connection_(std::move(connection))
{
    bus_ = sdbus::createProxy(*connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus");
    matches_.push_back(connection_->addMatch(
        std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                    "member='NameOwnerChanged',arg0namespace='org.mpris.MediaPlayer2'"),
        [this](sdbus::Message& message) {
            std::string name, before, after;
            message >> name >> before >> after;
            if (after.empty())
                Vanished(name);
            else
                Appeared(name, after);
        }));
    matches_.push_back(connection_->addMatch(std::string("type='signal',interface='") + kProperties +
                                                 "',member='PropertiesChanged',path='" + kPath + "',arg0='" + kPlayer +
                                                 "'",
                                             [this](sdbus::Message& message) { OnPropertiesChanged(message); }));
    matches_.push_back(connection_->addMatch(std::string("type='signal',interface='") + kPlayer +
                                                 "',member='Seeked',path='" + kPath + "'",
                                             [this](sdbus::Message& message) { OnSeeked(message); }));
    Discover();
    connection_->enterEventLoopAsync();
}

MprisWatcher::~MprisWatcher()
{
    connection_->leaveEventLoop();
    matches_.clear();
}

void MprisWatcher::Discover()
{
    std::vector<std::string> names;
    bus_->callMethod("ListNames").onInterface("org.freedesktop.DBus").withTimeout(kAnswerTime).storeResultsTo(names);
    for (const auto& name : names) {
        if (name.rfind(kPrefix, 0) != 0)
            continue;
        std::string owner;
        try {
            bus_->callMethod("GetNameOwner")
                .onInterface("org.freedesktop.DBus")
                .withTimeout(kAnswerTime)
                .withArguments(name)
                .storeResultsTo(owner);
        } catch (const sdbus::Error&) {
            continue; // gone meanwhile
        }
        Appeared(name, owner);
    }
}

void MprisWatcher::Appeared(const std::string& busName, const std::string& owner)
{
    PlayerState player;
    player.busName = busName;
    std::map<std::string, sdbus::Variant> properties;
    try {
        auto proxy = sdbus::createProxy(*connection_, busName, kPath);
        sdbus::Variant identity;
        proxy->callMethod("Get")
            .onInterface(kProperties)
            .withTimeout(kAnswerTime)
            .withArguments("org.mpris.MediaPlayer2", "Identity")
            .storeResultsTo(identity);
        player.identity = As<std::string>(identity).value_or("");
        proxy->callMethod("GetAll")
            .onInterface(kProperties)
            .withTimeout(kAnswerTime)
            .withArguments(kPlayer)
            .storeResultsTo(properties);
    } catch (const sdbus::Error& error) {
        LogInformation("Media data: " + busName + " did not answer (" + error.getMessage() +
                       "); following its signals only");
    }
    if (player.identity.empty())
        player.identity = busName.substr(std::string(kPrefix).size());
    const auto now = Clock::now();
    Apply(player, properties, now);
    std::lock_guard lock(mutex_);
    owners_[busName] = owner;
    players_.erase(
        std::remove_if(players_.begin(), players_.end(), [&](const PlayerState& p) { return p.busName == busName; }),
        players_.end());
    players_.push_back(std::move(player));
}

void MprisWatcher::Vanished(const std::string& busName)
{
    std::lock_guard lock(mutex_);
    owners_.erase(busName);
    players_.erase(
        std::remove_if(players_.begin(), players_.end(), [&](const PlayerState& p) { return p.busName == busName; }),
        players_.end());
}

PlayerState* MprisWatcher::ByOwner(const std::string& owner)
{
    for (const auto& [busName, unique] : owners_) {
        if (unique != owner)
            continue;
        for (auto& player : players_)
            if (player.busName == busName)
                return &player;
    }
    return nullptr;
}

void MprisWatcher::Apply(PlayerState& player, const std::map<std::string, sdbus::Variant>& properties,
                         Clock::time_point now)
{
    player.Settle(now); // status, rate or track may change below
    if (const auto it = properties.find("Rate"); it != properties.end())
        player.rate = As<double>(it->second).value_or(1.0);
    if (const auto it = properties.find("Position"); it != properties.end())
        player.position = Seconds(As<std::int64_t>(it->second).value_or(0));
    if (const auto it = properties.find("Metadata"); it != properties.end()) {
        const auto metadata =
            As<std::map<std::string, sdbus::Variant>>(it->second).value_or(std::map<std::string, sdbus::Variant>{});
        auto text = [&](const char* key) {
            const auto field = metadata.find(key);
            return field == metadata.end() ? std::string() : As<std::string>(field->second).value_or("");
        };
        const std::string title = text("xesam:title");
        if (title != player.title && properties.find("Position") == properties.end())
            player.position = 0; // a new track starts from its beginning
        player.title = title;
        player.album = text("xesam:album");
        const auto artists = metadata.find("xesam:artist");
        player.artists = artists == metadata.end()
                             ? std::vector<std::string>{}
                             : As<std::vector<std::string>>(artists->second).value_or(std::vector<std::string>{});
        const auto length = metadata.find("mpris:length");
        player.length.reset();
        if (length != metadata.end()) {
            if (const auto signedLength = As<std::int64_t>(length->second))
                player.length = Seconds(*signedLength);
            else if (const auto unsignedLength = As<std::uint64_t>(length->second))
                player.length = Seconds(static_cast<std::int64_t>(*unsignedLength));
        }
    }
    if (const auto it = properties.find("PlaybackStatus"); it != properties.end()) {
        const std::string status = As<std::string>(it->second).value_or("Stopped");
        if (status == "Playing" && player.status != "Playing")
            player.startedPlaying = now;
        if (status == "Stopped")
            player.position = 0;
        player.status = status;
    }
}

void MprisWatcher::OnPropertiesChanged(sdbus::Message& message)
{
    std::string interface;
    std::map<std::string, sdbus::Variant> changed;
    std::vector<std::string> invalidated;
    message >> interface >> changed >> invalidated;
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    if (PlayerState* player = ByOwner(message.getSender()))
        Apply(*player, changed, now);
}

void MprisWatcher::OnSeeked(sdbus::Message& message)
{
    std::int64_t position = 0;
    message >> position;
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    if (PlayerState* player = ByOwner(message.getSender())) {
        player->position = Seconds(position);
        player->positionAt = now;
    }
}

std::vector<PlayerState> MprisWatcher::Players() const
{
    std::lock_guard lock(mutex_);
    return players_;
}

} // namespace pixtera::media
