// SPDX-License-Identifier: MIT
#include "mpris_watcher.h"

#include "player_properties.h"

#include <pixtera/platform/event_log.h>

#include <algorithm>
#include <utility>

namespace pixtera::media {
namespace {

constexpr const char* kPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kBusInterface = "org.freedesktop.DBus";
// Nothing waits for an answer; a player that has not answered by then is followed by its signals.
constexpr std::chrono::seconds kAnswerTime{5};

std::uint64_t Microseconds(std::chrono::microseconds time) { return static_cast<std::uint64_t>(time.count()); }

} // namespace

template <class Edit>
void MprisWatcher::Update(const std::string& busName, Edit&& edit)
{
    std::lock_guard lock(mutex_);
    for (auto& player : players_)
        if (player.busName == busName)
            edit(player);
}

MprisWatcher::MprisWatcher(std::unique_ptr<sdbus::IConnection> connection, std::size_t maxPlayers)
    : connection_(std::move(connection)), maxPlayers_(maxPlayers)
{
    bus_ = sdbus::createProxy(*connection_, bus::kBusDaemonName, "/org/freedesktop/DBus");
    matches_.push_back(connection_->addMatch(
        std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                    "member='NameOwnerChanged',arg0namespace='org.mpris.MediaPlayer2'"),
        guard_.OnSignalFrom(bus::kBusDaemonName, "NameOwnerChanged",
                            [this](const std::string& name, const std::string&, const std::string& owner) {
                                if (name.rfind(kPrefix, 0) != 0)
                                    return;
                                if (owner.empty())
                                    Vanished(name);
                                else
                                    Appeared(name, owner);
                            })));
    matches_.push_back(connection_->addMatch(std::string("type='signal',interface='") + kProperties +
                                                 "',member='PropertiesChanged',path='" + kPath + "',arg0='" + kPlayer +
                                                 "'",
                                             guard_.OnMessage("PropertiesChanged", [this](sdbus::Message& message) {
                                                 return OnPropertiesChanged(message);
                                             })));
    matches_.push_back(connection_->addMatch(
        std::string("type='signal',interface='") + kPlayer + "',member='Seeked',path='" + kPath + "'",
        guard_.OnMessage("Seeked", [this](sdbus::Message& message) { return OnSeeked(message); })));
    Discover();
    connection_->enterEventLoopAsync();
}

MprisWatcher::~MprisWatcher()
{
    connection_->leaveEventLoop();
    tracked_.clear();
    matches_.clear();
}

void MprisWatcher::Discover()
{
    // The players there already: their names, then each one's owner, all answered on the
    // connection's thread once it runs.
    auto list = bus_->createMethodCall(kBusInterface, "ListNames");
    bus_->callMethod(
        list,
        guard_.OnReply("the answer to ListNames",
                       [this](sdbus::MethodReply& reply, const sdbus::Error* error) {
                           if (error)
                               return LogWarning("Media data: the bus did not list its names (" + error->getMessage() +
                                                 "); players are seen as they appear");
                           const auto names = ReadNames(reply);
                           if (!names)
                               return guard_.Dropped(reply, "the answer to ListNames", "it is no list of names");
                           for (const auto& name : *names) {
                               if (name.rfind(kPrefix, 0) != 0)
                                   continue;
                               auto owner = bus_->createMethodCall(kBusInterface, "GetNameOwner");
                               owner << name;
                               bus_->callMethod(
                                   owner,
                                   guard_.OnReply("the answer to GetNameOwner",
                                                  [this, name](sdbus::MethodReply& answer, const sdbus::Error* failed) {
                                                      if (failed)
                                                          return; // gone meanwhile
                                                      if (const auto unique = ReadName(answer))
                                                          Appeared(name, *unique);
                                                  }),
                                   Microseconds(kAnswerTime));
                           }
                       }),
        Microseconds(kAnswerTime));
}

void MprisWatcher::Appeared(const std::string& busName, const std::string& owner)
{
    if (const auto it = tracked_.find(busName); it != tracked_.end()) {
        if (it->second.owner == owner)
            return; // seen already (listed, and announced)
        Vanished(busName); // another program took the name
    }
    if (tracked_.size() >= maxPlayers_ && !MakeRoom()) {
        if (!std::exchange(saidFull_, true))
            LogWarning("Media data: " + std::to_string(maxPlayers_) + " players are followed already; " + busName +
                       " and later ones are not");
        return;
    }
    Tracked& tracked = tracked_[busName];
    tracked.owner = owner;
    tracked.appeared = ++appearances_;
    tracked.proxy = sdbus::createProxy(*connection_, busName, kPath);
    PlayerState player;
    player.busName = busName;
    player.identity = busName.substr(std::string(kPrefix).size());
    {
        std::lock_guard lock(mutex_);
        players_.push_back(std::move(player));
    }
    Ask(busName, *tracked.proxy);
}

void MprisWatcher::Ask(const std::string& busName, sdbus::IProxy& proxy)
{
    auto identity = proxy.createMethodCall(kProperties, "Get");
    identity << std::string("org.mpris.MediaPlayer2") << std::string("Identity");
    proxy.callMethod(
        identity,
        guard_.OnReply("the answer to Get(Identity)",
                       [this, busName](sdbus::MethodReply& reply, const sdbus::Error* error) {
                           Answered(busName, error, "its name");
                           if (error)
                               return;
                           const auto name = ReadTextProperty(reply);
                           if (!name)
                               return guard_.Dropped(reply, "the answer to Get(Identity)", "it is no text");
                           if (!name->empty())
                               Update(busName, [&](PlayerState& player) { player.identity = BoundedText(*name); });
                       }),
        Microseconds(kAnswerTime));
    auto all = proxy.createMethodCall(kProperties, "GetAll");
    all << std::string(kPlayer);
    proxy.callMethod(
        all,
        guard_.OnReply("the answer to GetAll",
                       [this, busName](sdbus::MethodReply& reply, const sdbus::Error* error) {
                           Answered(busName, error, "what it plays");
                           if (error)
                               return;
                           const auto properties = ReadProperties(reply);
                           if (!properties)
                               return guard_.Dropped(reply, "the answer to GetAll", "it is no set of properties");
                           const auto now = Clock::now();
                           Update(busName, [&](PlayerState& player) { ApplyProperties(player, *properties, now); });
                       }),
        Microseconds(kAnswerTime));
}

void MprisWatcher::Answered(const std::string& busName, const sdbus::Error* error, const char* question)
{
    const auto it = tracked_.find(busName);
    if (it == tracked_.end())
        return;
    if (!error) {
        it->second.answered = true;
        return;
    }
    switch (silentPlayers_.Note(busName)) {
    case bus::OncePerSender::Verdict::Name:
        LogInformation("Media data: " + busName + " did not tell " + question + " (" + error->getMessage() +
                       "); following its signals only");
        break;
    case bus::OncePerSender::Verdict::FullNow:
        LogInformation("Media data: " + busName +
                       " did not answer either; players that do not answer are no longer named");
        break;
    case bus::OncePerSender::Verdict::Silence: break;
    }
}

bool MprisWatcher::MakeRoom()
{
    auto oldest = tracked_.end();
    for (auto it = tracked_.begin(); it != tracked_.end(); ++it)
        if (!it->second.answered && (oldest == tracked_.end() || it->second.appeared < oldest->second.appeared))
            oldest = it;
    if (oldest == tracked_.end())
        return false;
    Vanished(std::string(oldest->first));
    return true;
}

void MprisWatcher::Vanished(const std::string& busName)
{
    tracked_.erase(busName); // its questions still in flight with it
    std::lock_guard lock(mutex_);
    players_.erase(
        std::remove_if(players_.begin(), players_.end(), [&](const PlayerState& p) { return p.busName == busName; }),
        players_.end());
}

const std::string* MprisWatcher::NameOwnedBy(const std::string& owner) const
{
    for (const auto& [busName, tracked] : tracked_)
        if (tracked.owner == owner)
            return &busName;
    return nullptr;
}

bool MprisWatcher::OnPropertiesChanged(sdbus::Message& message)
{
    const auto read = ReadPropertiesChanged(message);
    if (!read)
        return false;
    const std::string* busName = NameOwnedBy(bus::SenderOf(message));
    if (!busName || read->interface != kPlayer)
        return true;
    const auto now = Clock::now();
    Update(*busName, [&](PlayerState& player) { ApplyProperties(player, read->changed, now); });
    return true;
}

bool MprisWatcher::OnSeeked(sdbus::Message& message)
{
    const auto position = ReadSeeked(message);
    if (!position)
        return false;
    const std::string* busName = NameOwnedBy(bus::SenderOf(message));
    if (!busName)
        return true;
    const auto now = Clock::now();
    Update(*busName, [&](PlayerState& player) {
        player.position = static_cast<double>(*position) / 1e6;
        player.positionAt = now;
    });
    return true;
}

std::vector<PlayerState> MprisWatcher::Players() const
{
    std::lock_guard lock(mutex_);
    return players_;
}

} // namespace pixtera::media
