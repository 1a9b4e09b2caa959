// SPDX-License-Identifier: MIT
#pragma once
// One LCDd client's side of the protocol: the commands it sent, executed on its own screens,
// keys and menu, and the lines it is answered with. Pure: the socket server feeds it lines and
// sends what it answers. Everything it keeps is bounded, whatever the client sends.

#include "client_screen.h"
#include "lcd_commands.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::lcdproc {

struct SessionLimits {
    std::size_t screens = 64;
    std::size_t widgets = 256; // per screen
    std::size_t allWidgets = 1024; // of all the client's screens
    std::size_t text = 1024; // bytes of one text, and of a name or id
    std::size_t keys = 64;
    std::size_t menuItems = 256;
};

struct MenuItem {
    std::string menu; // the menu it is in; empty: the client's main menu
    std::string id;
    std::string type;
    std::string text; // what the menu shows for it
    bool hidden = false;
    std::string result = "none"; // an action's: none, close (its menu) or quit (the menu)
    std::string value; // checkbox: off, on or gray; ring: the index; others: as set
    std::vector<std::string> strings; // a ring's choices
    bool allowGray = false; // a checkbox's third state
};

class ClientSession {
public:
    // `utf8`: the client's texts are UTF-8, else Latin-1.
    ClientSession(const Geometry& geometry, bool utf8, SessionLimits limits = {});

    struct Outcome {
        std::vector<std::string> replies; // lines without their line feed
        bool screensChanged = false; // added, removed, or ranked differently
        bool close = false; // "bye"
        std::optional<std::string> menuGoto; // "menu_goto": the menu to show
    };
    // Whether the key may be reserved so: LCDd refuses a key another reservation holds when
    // either is exclusive. Set by whoever sees all clients; else only this one's are seen.
    using KeyCheck = std::function<bool(const std::string& key, bool exclusive)>;
    void SetKeyCheck(KeyCheck check) { keyCheck_ = std::move(check); }
    // Executes one line (without its line feed).
    Outcome Execute(std::string_view line);
    // The same into `out`, emptied first; its storage is reused from line to line.
    void Execute(std::string_view line, Outcome& out);

    bool greeted() const { return greeted_; }
    const std::string& name() const { return name_; }
    const std::vector<Screen>& screens() const { return screens_; }
    std::vector<Screen>& screens() { return screens_; }
    // Reserved keys, each true when exclusively.
    const std::map<std::string, bool>& keys() const { return keys_; }
    const std::vector<MenuItem>& menu() const { return menu_; }
    std::vector<MenuItem>& menu() { return menu_; }
    // The menu set as the client's main one ("" unless menu_set_main said otherwise).
    const std::string& mainMenu() const { return mainMenu_; }
    const Geometry& geometry() const { return geometry_; }

    Screen* FindScreen(std::string_view id);
    // The backlight the screen asks for while it shows: its own, else its client's ("open": the
    // display's own; "on", "off", "blink", "flash").
    std::string Backlight(const Screen& screen) const;

private:
    using Arguments = std::span<const std::string_view>;
    void Hello(const Arguments& a, Outcome& out);
    void ClientSet(const Arguments& a, Outcome& out);
    void ScreenAdd(const Arguments& a, Outcome& out);
    void ScreenDel(const Arguments& a, Outcome& out);
    void ScreenSet(const Arguments& a, Outcome& out);
    void WidgetAdd(const Arguments& a, Outcome& out);
    void WidgetDel(const Arguments& a, Outcome& out);
    void WidgetSet(const Arguments& a, Outcome& out);
    void AddKey(const Arguments& a, Outcome& out);
    void DelKey(const Arguments& a, Outcome& out);
    void Backlight(const Arguments& a, Outcome& out);
    void Output(const Arguments& a, Outcome& out);
    void Sleep(const Arguments& a, Outcome& out);
    void MenuAddItem(const Arguments& a, Outcome& out);
    void MenuDelItem(const Arguments& a, Outcome& out);
    void MenuSetItem(const Arguments& a, Outcome& out);
    void MenuGoto(const Arguments& a, Outcome& out);
    void MenuSetMain(const Arguments& a, Outcome& out);
    // The widget's data after its screen and id; false with a reply when it does not fit.
    bool SetWidgetData(Widget& widget, const Arguments& a, Outcome& out);
    // A client's text as UTF-8 to show, cut to the limit in bytes of input.
    std::string Text(std::string_view text) const;
    // The same into `utf8`, whose storage is kept.
    void AssignText(std::string& utf8, std::string_view text) const;
    // A client's text to quote in a reply: in the client's own encoding.
    std::string Echo(std::string_view text) const;
    bool KnownMenu(std::string_view id) const;
    // A menu item's options ("-text T", "-value V" ...), as menu_add_item and menu_set_item take them.
    void SetMenuOptions(MenuItem& item, const Arguments& a, std::size_t first);

    Geometry geometry_;
    bool utf8_;
    SessionLimits limits_;
    bool greeted_ = false;
    std::string name_;
    std::vector<Screen> screens_; // in the order they were added
    std::map<std::string, bool> keys_;
    KeyCheck keyCheck_;
    std::vector<MenuItem> menu_;
    std::string mainMenu_;
    std::string backlight_ = "open"; // "backlight": the client's, for its screens that have none
    std::string argumentText_; // the line being executed, unquoted: what arguments_ views
    std::vector<std::string_view> arguments_;
};

// The reply to "hello" for a display of this geometry.
std::string ConnectReply(const Geometry& geometry);

} // namespace pixtera::lcdproc
