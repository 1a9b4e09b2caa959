// SPDX-License-Identifier: MIT
#include "mpris_watcher.h"

#include "player_name.h"
#include "player_properties.h"

#include <pixtera/platform/event_log.h>

#include <algorithm>
#include <utility>

namespace pixtera::media {
namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kBusInterface = "org.freedesktop.DBus";
// Nothing waits for an answer; a player that has not answered by then is followed by its signals.
constexpr std::chrono::seconds kAnswerTime{5};

std::uint64_t Microseconds(std::chrono::microseconds time) { return static_cast<std::uint64_t>(time.count()); }

} // namespace

template <class Edit>
void MprisWatcher::Update(const std::string& owner, Edit&& edit)
{
    std::lock_guard lock(mutex_);
    for (auto& player : players_)
        if (player.owner == owner)
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
                                if (!name.starts_with(kMprisPrefix))
                                    return;
                                if (owner.empty())
                                    NameLost(name);
                                else
                                    NameTaken(name, owner);
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
                               if (!name.starts_with(kMprisPrefix))
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
                                                          NameTaken(name, *unique);
                                                  }),
                                   Microseconds(kAnswerTime));
                           }
                       }),
        Microseconds(kAnswerTime));
}

void MprisWatcher::NameTaken(const std::string& busName, const std::string& owner)
{
    const auto known = tracked_.find(owner);
    if (known != tracked_.end() && std::ranges::find(known->second.names, busName) != known->second.names.end())
        return; // seen already (listed, and announced)
    NameLost(busName); // a name has one owner: whoever had it has it no longer
    if (known != tracked_.end()) {
        auto& names = known->second.names;
        if (names.size() >= kMaxNames) {
            if (!std::exchange(saidManyNames_, true))
                LogWarning("Media data: " + owner + " owns " + std::to_string(kMaxNames) + " player names already; " +
                           busName + " and later ones of a player are not followed");
            return;
        }
        names.push_back(busName);
        Update(owner, [&](PlayerState& player) { player.busNames = names; });
        return;
    }
    if (tracked_.size() >= maxPlayers_ && !MakeRoom()) {
        if (!std::exchange(saidFull_, true))
            LogWarning("Media data: " + std::to_string(maxPlayers_) + " players are followed already; " + busName +
                       " and later ones are not");
        return;
    }
    Tracked& tracked = tracked_[owner];
    tracked.names = {busName};
    tracked.appeared = ++appearances_;
    // Asked by its unique name: the answer comes from the connection whose signals count.
    tracked.proxy = sdbus::createProxy(*connection_, owner, kPath);
    PlayerState player;
    player.owner = owner;
    player.busNames = tracked.names;
    player.identity = PlayerName(busName);
    {
        std::lock_guard lock(mutex_);
        players_.push_back(std::move(player));
    }
    Ask(owner, *tracked.proxy);
}

void MprisWatcher::Ask(const std::string& owner, sdbus::IProxy& proxy)
{
    auto identity = proxy.createMethodCall(kProperties, "Get");
    identity << std::string("org.mpris.MediaPlayer2") << std::string("Identity");
    proxy.callMethod(
        identity,
        guard_.OnReply("the answer to Get(Identity)",
                       [this, owner](sdbus::MethodReply& reply, const sdbus::Error* error) {
                           Answered(owner, error, "its name");
                           if (error)
                               return;
                           const auto name = ReadTextProperty(reply);
                           if (!name)
                               return guard_.Dropped(reply, "the answer to Get(Identity)", "it is no text");
                           if (!name->empty())
                               Update(owner, [&](PlayerState& player) { player.identity = BoundedText(*name); });
                       }),
        Microseconds(kAnswerTime));
    auto all = proxy.createMethodCall(kProperties, "GetAll");
    all << std::string(kPlayer);
    proxy.callMethod(
        all,
        guard_.OnReply("the answer to GetAll",
                       [this, owner](sdbus::MethodReply& reply, const sdbus::Error* error) {
                           Answered(owner, error, "what it plays");
                           if (error)
                               return;
                           const auto properties = ReadProperties(reply);
                           if (!properties)
                               return guard_.Dropped(reply, "the answer to GetAll", "it is no set of properties");
                           const auto now = Clock::now();
                           Update(owner, [&](PlayerState& player) { ApplyProperties(player, *properties, now); });
                       }),
        Microseconds(kAnswerTime));
}

void MprisWatcher::Answered(const std::string& owner, const sdbus::Error* error, const char* question)
{
    const auto it = tracked_.find(owner);
    if (it == tracked_.end())
        return;
    if (!error) {
        it->second.answered = true;
        return;
    }
    const std::string& busName = it->second.names.front();
    switch (silentPlayers_.Note(owner)) {
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
    Forget(std::string(oldest->first));
    return true;
}

void MprisWatcher::NameLost(const std::string& busName)
{
    for (auto& [owner, tracked] : tracked_) {
        const auto name = std::ranges::find(tracked.names, busName);
        if (name == tracked.names.end())
            continue;
        tracked.names.erase(name);
        if (tracked.names.empty())
            Forget(std::string(owner));
        else
            Update(owner, [&names = tracked.names](PlayerState& player) { player.busNames = names; });
        return;
    }
}

void MprisWatcher::Forget(const std::string& owner)
{
    tracked_.erase(owner); // its questions still in flight with it
    std::lock_guard lock(mutex_);
    std::erase_if(players_, [&](const PlayerState& player) { return player.owner == owner; });
}

bool MprisWatcher::OnPropertiesChanged(sdbus::Message& message)
{
    const auto read = ReadPropertiesChanged(message);
    if (!read)
        return false;
    const std::string sender = bus::SenderOf(message);
    if (!tracked_.contains(sender) || read->interface != kPlayer)
        return true;
    const auto now = Clock::now();
    Update(sender, [&](PlayerState& player) { ApplyProperties(player, read->changed, now); });
    return true;
}

bool MprisWatcher::OnSeeked(sdbus::Message& message)
{
    const auto position = ReadSeeked(message);
    if (!position)
        return false;
    const std::string sender = bus::SenderOf(message);
    if (!tracked_.contains(sender))
        return true;
    const auto now = Clock::now();
    Update(sender, [&](PlayerState& player) {
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
