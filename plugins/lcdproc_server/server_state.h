// SPDX-License-Identifier: MIT
#pragma once
// Everything the clients of the LCDd protocol server built, and what the displays ask of it:
// the clients' sessions, the displays served, the screens in the rotation, the lines waiting to
// be sent to each client. The socket thread feeds it lines; the displays' refresh threads ask
// for screens and renderings.
//
// Concurrency: `mutex_` guards every member below it; the change callback runs outside it.

#include "client_session.h"
#include "screen_renderer.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::lcdproc {

using ClientId = unsigned long;

struct ServerLimits {
    SessionLimits session;
    std::size_t output = 64 * 1024; // bytes waiting for a client that does not read
};

class ServerState {
public:
    ServerState(bool utf8, ServerLimits limits = {});

    // Called (outside the lock) when a display's screens changed: added, removed, re-ranked.
    void OnScreensChanged(std::function<void(long display)> changed);

    // A display the server serves; the first one's geometry is what clients are told.
    void AttachDisplay(long display, const Geometry& geometry);
    std::vector<long> displays() const;

    ClientId Connect();
    void Disconnect(ClientId client);
    // Executes one line of the client; false when the client asked to go ("bye").
    bool Execute(ClientId client, std::string_view line);
    // Executes the lines in order under one lock, as many as came in one read; how many ran
    // before a "bye" (then the client goes), else all of them.
    std::size_t ExecuteAll(ClientId client, const std::vector<std::string_view>& lines);
    // Queues a line for the client; false when its output is over the limit (drop it).
    bool Send(ClientId client, const std::string& line);
    // The bytes waiting for the client, taken.
    std::string TakeOutput(ClientId client);
    // The same swapped into `into`, which must be empty: the two buffers' storage goes round.
    void TakeOutput(ClientId client, std::string& into);
    // True when the client's output outgrew the limit: it does not read, and is dropped.
    bool Overflowed(ClientId client) const;
    std::size_t clients() const;

    // A key pressed on a display where `screen` of ours shows (-1: none). As LCDd: the open
    // menu takes its keys; a key reserved exclusively goes to its client, a shared one to the
    // client whose screen shows ("key X"); Enter on a client's screen opens the clients' menus.
    // False when nothing here took it: it stays the service's.
    bool DeliverKey(long display, long screen, const std::string& key);
    // The number of the menu's screen while it is open.
    static constexpr long kMenuScreen = 0;

    // The rotation's view: "<id> <priority> <duration>" lines.
    std::string Screens(long display) const;
    // The screen at `timer`; nothing when it is gone (deleted, its client gone, timed out).
    std::optional<RenderedScreen> Render(long display, long screen, long timer);
    // The display shows this screen now (-1: none of ours): its client hears "listen", the
    // client of the one before "ignore".
    void Shown(long display, long screen, long timer);

private:
    struct Client {
        ClientSession session;
        std::string output;
        bool overflowed = false;
    };
    struct ScreenRef {
        ClientId client = 0;
        std::string id;
    };
    struct MenuLevel {
        ClientId client = 0; // 0: the list of the clients with menus
        std::string menu; // the client's menu shown
        std::size_t cursor = 0;
    };
    struct OpenMenu {
        long display = -1;
        std::vector<MenuLevel> levels; // the way in, the shown one last
    };
    struct MenuEntry {
        std::string text;
        ClientId client = 0;
        MenuItem* item = nullptr; // none for a client's entry in the list of clients
    };
    struct Showing {
        long screen = -1;
        long since = 0; // the timer when it began
    };

    Geometry ClientGeometry() const;
    // Gives new screens their numbers and forgets those of screens gone.
    void Renumber();
    Screen* Find(long screen, Client** client = nullptr);
    bool ShownAnywhere(long screen) const;
    // Counts the time the screen was shown against its timeout; true when that is over.
    bool SpendTimeout(long screen, long elapsed);
    void NotifyChanged();
    bool KeyIsFree(const std::string& key, bool exclusive) const;
    bool ClientHasKey(ClientId client, const std::string& key) const;
    // Menus: what the shown level lists, opening, moving, leaving.
    std::vector<MenuEntry> Entries(const MenuLevel& level);
    std::vector<ClientId> ClientsWithMenus() const;
    bool OpenMenus(long display);
    bool OpenMenuAt(long display, ClientId client, const std::string& menu);
    // True when the open menu still has what it shows; else it is closed.
    bool MenuValid();
    bool MenuKey(const std::string& key);
    void Select(MenuLevel& level, MenuEntry& entry);
    Screen MenuScreen(const Geometry& geometry);
    bool Queue(Client& client, const std::string& line);

    const bool utf8_;
    const ServerLimits limits_;
    std::function<void(long)> changed_; // set before any client connects

    mutable std::mutex mutex_;
    std::map<long, Geometry> displays_;
    std::map<ClientId, Client> clients_;
    ClientId nextClient_ = 1;
    std::map<long, ScreenRef> screens_; // by number, in the order they were added
    std::map<std::pair<ClientId, std::string>, long> numbers_;
    long nextScreen_ = 1;
    std::map<long, Showing> showing_; // by display
    std::optional<OpenMenu> menu_; // shown on one display at a time
    ClientSession::Outcome outcome_; // a line's, reused from line to line
};

} // namespace pixtera::lcdproc
