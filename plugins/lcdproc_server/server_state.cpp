// SPDX-License-Identifier: MIT
#include "server_state.h"

#include <algorithm>
#include <utility>

namespace pixtera::lcdproc {
namespace {

constexpr int kDefaultDuration = 32; // eighths of a second, as LCDd

// The ScreenBacklight of a backlight state.
int BacklightCode(const std::string& state)
{
    return state == "off" ? 1 : state == "on" ? 2 : state == "blink" ? 3 : state == "flash" ? 4 : 0;
}

} // namespace

ServerState::ServerState(bool utf8, ServerLimits limits) : utf8_(utf8), limits_(limits) {}

void ServerState::OnScreensChanged(std::function<void(long)> changed) { changed_ = std::move(changed); }

void ServerState::AttachDisplay(long display, const Geometry& geometry)
{
    std::lock_guard lock(mutex_);
    displays_[display] = geometry;
}

std::vector<long> ServerState::displays() const
{
    std::lock_guard lock(mutex_);
    std::vector<long> served;
    for (const auto& [display, geometry] : displays_)
        served.push_back(display);
    return served;
}

Geometry ServerState::ClientGeometry() const { return displays_.empty() ? Geometry{} : displays_.begin()->second; }

ClientId ServerState::Connect()
{
    std::lock_guard lock(mutex_);
    const ClientId id = nextClient_++;
    ClientSession session(ClientGeometry(), utf8_, limits_.session);
    // Runs within Execute, under the lock.
    session.SetKeyCheck([this](const std::string& key, bool exclusive) { return KeyIsFree(key, exclusive); });
    clients_.emplace(id, Client{std::move(session), {}, false});
    return id;
}

void ServerState::Disconnect(ClientId client)
{
    bool hadScreens = false;
    {
        std::lock_guard lock(mutex_);
        const auto it = clients_.find(client);
        if (it == clients_.end())
            return;
        hadScreens = !it->second.session.screens().empty();
        clients_.erase(it);
        Renumber();
        if (menu_ && !MenuValid())
            hadScreens = true; // its menu was open, and is gone
    }
    if (hadScreens)
        NotifyChanged();
}

bool ServerState::Queue(Client& client, const std::string& line)
{
    if (client.overflowed)
        return false;
    if (client.output.size() + line.size() + 1 > limits_.output) {
        client.overflowed = true;
        client.output.clear(); // it is dropped; nothing more goes to it
        return false;
    }
    // One line whatever it names: an id the client escaped a line end into would otherwise
    // forge a line of the server's ("listen x\nkey Up").
    const std::size_t from = client.output.size();
    client.output += line;
    for (std::size_t at = from; at < client.output.size(); ++at)
        if (char& c = client.output[at]; c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    client.output += '\n';
    return true;
}

bool ServerState::Execute(ClientId client, std::string_view line)
{
    const std::vector<std::string_view> lines{line};
    return ExecuteAll(client, lines) == lines.size();
}

std::size_t ServerState::ExecuteAll(ClientId client, const std::vector<std::string_view>& lines)
{
    bool changed = false;
    std::size_t done = 0;
    {
        std::lock_guard lock(mutex_);
        const auto it = clients_.find(client);
        if (it == clients_.end())
            return 0;
        for (; done < lines.size(); ++done) {
            ClientSession::Outcome& outcome = outcome_;
            it->second.session.Execute(lines[done], outcome);
            for (const auto& reply : outcome.replies)
                Queue(it->second, reply);
            if (outcome.screensChanged)
                Renumber();
            if (outcome.menuGoto && !displays_.empty())
                outcome.screensChanged =
                    OpenMenuAt(displays_.begin()->first, client, *outcome.menuGoto) || outcome.screensChanged;
            if (menu_ && !MenuValid()) // its items were deleted under it
                outcome.screensChanged = true;
            changed = changed || outcome.screensChanged;
            if (outcome.close)
                break;
        }
    }
    if (changed)
        NotifyChanged();
    return done;
}

bool ServerState::Send(ClientId client, const std::string& line)
{
    std::lock_guard lock(mutex_);
    const auto it = clients_.find(client);
    return it != clients_.end() && Queue(it->second, line);
}

std::string ServerState::TakeOutput(ClientId client)
{
    std::string output;
    TakeOutput(client, output);
    return output;
}

void ServerState::TakeOutput(ClientId client, std::string& into)
{
    std::lock_guard lock(mutex_);
    const auto it = clients_.find(client);
    if (it == clients_.end())
        return;
    into.swap(it->second.output);
    it->second.output.clear();
}

bool ServerState::Overflowed(ClientId client) const
{
    std::lock_guard lock(mutex_);
    const auto it = clients_.find(client);
    return it != clients_.end() && it->second.overflowed;
}

std::size_t ServerState::clients() const
{
    std::lock_guard lock(mutex_);
    return clients_.size();
}

bool ServerState::KeyIsFree(const std::string& key, bool exclusive) const
{
    for (const auto& [id, client] : clients_)
        if (const auto held = client.session.keys().find(key); held != client.session.keys().end())
            if (held->second || exclusive)
                return false;
    return true;
}

bool ServerState::ClientHasKey(ClientId client, const std::string& key) const
{
    const auto it = clients_.find(client);
    return it != clients_.end() && it->second.session.keys().contains(key);
}

bool ServerState::DeliverKey(long display, long screen, const std::string& key)
{
    bool taken = false;
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        if (!displays_.contains(display))
            return false;
        if (menu_ && menu_->display == display && screen == kMenuScreen && MenuValid()) {
            taken = changed = MenuKey(key);
        } else {
            for (auto& [id, client] : clients_)
                if (const auto held = client.session.keys().find(key);
                    held != client.session.keys().end() && held->second) {
                    Queue(client, "key " + key);
                    return true;
                }
            const auto ref = screens_.find(screen);
            if (ref != screens_.end() && ClientHasKey(ref->second.client, key)) {
                Queue(clients_.at(ref->second.client), "key " + key);
                return true;
            }
            if (ref != screens_.end() && key == "Enter")
                taken = changed = OpenMenus(display);
        }
    }
    if (changed)
        NotifyChanged();
    return taken;
}

void ServerState::Renumber()
{
    std::map<std::pair<ClientId, std::string>, long> numbers;
    for (const auto& [id, client] : clients_)
        for (const Screen& screen : client.session.screens()) {
            const auto key = std::make_pair(id, screen.id);
            const auto known = numbers_.find(key);
            const long number = known != numbers_.end() ? known->second : nextScreen_++;
            numbers.emplace(key, number);
            screens_[number] = {id, screen.id};
        }
    std::erase_if(screens_, [&](const auto& entry) {
        return !numbers.contains(std::make_pair(entry.second.client, entry.second.id)) ||
               numbers.at(std::make_pair(entry.second.client, entry.second.id)) != entry.first;
    });
    numbers_ = std::move(numbers);
}

Screen* ServerState::Find(long screen, Client** client)
{
    const auto ref = screens_.find(screen);
    if (ref == screens_.end())
        return nullptr;
    const auto owner = clients_.find(ref->second.client);
    if (owner == clients_.end())
        return nullptr;
    if (client)
        *client = &owner->second;
    return owner->second.session.FindScreen(ref->second.id);
}

std::string ServerState::Screens(long display) const
{
    std::lock_guard lock(mutex_);
    if (!displays_.contains(display))
        return {};
    std::string list;
    if (menu_ && menu_->display == display)
        list += std::to_string(kMenuScreen) + " " + std::to_string(static_cast<int>(Priority::Input)) + " " +
                std::to_string(kDefaultDuration) + "\n";
    for (const auto& [number, ref] : screens_) {
        const Screen* screen = const_cast<ServerState*>(this)->Find(number);
        if (!screen)
            continue;
        const Client& client = clients_.at(ref.client);
        list += std::to_string(number) + " " + std::to_string(static_cast<int>(screen->priority)) + " " +
                std::to_string(screen->duration > 0 ? screen->duration : kDefaultDuration) + " " +
                std::to_string(BacklightCode(client.session.Backlight(*screen))) + "\n";
    }
    return list;
}

std::optional<RenderedScreen> ServerState::Render(long display, long screenNumber, long timer)
{
    std::optional<RenderedScreen> rendered;
    bool timedOut = false;
    {
        std::lock_guard lock(mutex_);
        const auto geometry = displays_.find(display);
        if (screenNumber == kMenuScreen && geometry != displays_.end()) {
            if (menu_ && menu_->display == display && MenuValid())
                return RenderScreen(MenuScreen(geometry->second), geometry->second, timer);
            return std::nullopt;
        }
        Client* client = nullptr;
        Screen* screen = Find(screenNumber, &client);
        if (geometry == displays_.end() || !screen)
            return std::nullopt;
        const auto showing = showing_.find(display);
        if (showing != showing_.end() && showing->second.screen == screenNumber && screen->timeout > 0 &&
            timer - showing->second.since >= screen->timeout) {
            // Its time is up: the screen goes, as with LCDd, and its client hears of it.
            Queue(*client, "ignore " + screen->id);
            const std::string id = screen->id;
            std::erase_if(client->session.screens(), [&](const Screen& s) { return s.id == id; });
            showing->second.screen = -1;
            Renumber();
            timedOut = true;
        } else {
            rendered = RenderScreen(*screen, geometry->second, timer);
        }
    }
    if (timedOut)
        NotifyChanged();
    return rendered;
}

bool ServerState::ShownAnywhere(long screen) const
{
    return std::any_of(showing_.begin(), showing_.end(),
                       [&](const auto& entry) { return entry.second.screen == screen; });
}

bool ServerState::SpendTimeout(long screenNumber, long elapsed)
{
    Screen* screen = Find(screenNumber);
    if (!screen || screen->timeout <= 0)
        return false;
    screen->timeout = static_cast<int>(std::max(1L, screen->timeout - std::max(0L, elapsed)));
    return false;
}

void ServerState::Shown(long display, long screenNumber, long timer)
{
    std::lock_guard lock(mutex_);
    if (!displays_.contains(display))
        return;
    Showing& showing = showing_[display];
    if (showing.screen == screenNumber)
        return;
    const long before = showing.screen;
    const long since = showing.since;
    showing = {screenNumber, timer};
    if (before >= 0) {
        SpendTimeout(before, timer - since);
        Client* client = nullptr;
        if (const Screen* screen = Find(before, &client); screen && !ShownAnywhere(before))
            Queue(*client, "ignore " + screen->id);
    }
    if (screenNumber >= 0) {
        Client* client = nullptr;
        const Screen* screen = Find(screenNumber, &client);
        const bool elsewhere = std::count_if(showing_.begin(), showing_.end(), [&](const auto& entry) {
                                   return entry.second.screen == screenNumber;
                               }) > 1;
        if (screen && !elsewhere)
            Queue(*client, "listen " + screen->id);
    }
}

void ServerState::NotifyChanged()
{
    if (!changed_)
        return;
    for (long display : displays())
        changed_(display);
}

} // namespace pixtera::lcdproc
