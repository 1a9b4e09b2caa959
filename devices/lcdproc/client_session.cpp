// SPDX-License-Identifier: MIT
#include "client_session.h"

#include "argument_split.h"
#include "utf8_text.h"
#include "widget_names.h"

#include <pixtera/platform/codepage.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace pixtera::lcdproc {
namespace {

constexpr const char* kScreenSetUsage =
    "huh? Usage: screen_set <id> [-name <name>] [-wid <width>] [-hgt <height>] [-priority <prio>] "
    "[-duration <int>] [-timeout <int>] [-heartbeat <type>] [-backlight <type>] [-cursor <type>] "
    "[-cursor_x <xpos>] [-cursor_y <ypos>]";

// atoi as LCDd reads numbers: leading digits, 0 when there are none; kept within int.
int Number(std::string_view text)
{
    // Plain digits, as nearly every coordinate is, without strtol's locale and checks.
    if (!text.empty() && text.size() <= 6 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        int value = 0;
        for (char c : text)
            value = value * 10 + (c - '0');
        return value;
    }
    const long value = std::strtol(std::string(text).c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, -1000000, 1000000));
}

bool StartsWithDigit(std::string_view text)
{
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text[0]));
}

// "-name" and "name" alike.
std::string_view Option(std::string_view option)
{
    if (!option.empty() && option.front() == '-')
        option.remove_prefix(1);
    return option;
}

std::optional<Priority> ReadPriority(std::string_view text)
{
    static constexpr std::pair<const char*, Priority> kNames[] = {
        {"hidden", Priority::Hidden},         {"background", Priority::Background}, {"info", Priority::Info},
        {"foreground", Priority::Foreground}, {"alert", Priority::Alert},           {"input", Priority::Input}};
    for (const auto& [name, priority] : kNames)
        if (text == name)
            return priority;
    // The numbers of older clients: the lower, the more important.
    const int number = Number(text);
    if (number <= 0)
        return std::nullopt;
    return number <= 64 ? Priority::Foreground : number < 192 ? Priority::Info : Priority::Background;
}

// The ids of `root` and of all it holds, however deep (an item names its holder, "" none). A
// loop, not recursion: the depth is the client's to choose.
template <typename Items, typename HolderOf, typename IdOf>
std::set<std::string, std::less<>> HeldIn(std::string_view root, const Items& items, HolderOf holderOf, IdOf idOf)
{
    std::set<std::string, std::less<>> gone{std::string(root)};
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& item : items) {
            const std::string& holder = holderOf(item);
            if (!holder.empty() && gone.contains(holder) && gone.insert(idOf(item)).second)
                grew = true;
        }
    }
    return gone;
}

// "toggle": off after on (or the display's own, which is on), on after anything else.
std::string_view Toggled(std::string_view state) { return state == "on" || state == "open" ? "off" : "on"; }

} // namespace

Widget* Screen::Find(std::string_view widget)
{
    const auto it = std::find_if(widgets.begin(), widgets.end(), [&](const Widget& w) { return w.id == widget; });
    return it == widgets.end() ? nullptr : &*it;
}

const Widget* Screen::Find(std::string_view widget) const { return const_cast<Screen*>(this)->Find(widget); }

std::string ConnectReply(const Geometry& geometry)
{
    return "connect LCDproc 0.5.9 protocol 0.3 lcd wid " + std::to_string(geometry.columns) + " hgt " +
           std::to_string(geometry.rows) + " cellwid " + std::to_string(geometry.cellWidth) + " cellhgt " +
           std::to_string(geometry.cellHeight);
}

ClientSession::ClientSession(const Geometry& geometry, bool utf8, SessionLimits limits)
    : geometry_(geometry), utf8_(utf8), limits_(limits)
{
}

Screen* ClientSession::FindScreen(std::string_view id)
{
    const auto it = std::find_if(screens_.begin(), screens_.end(), [&](const Screen& s) { return s.id == id; });
    return it == screens_.end() ? nullptr : &*it;
}

std::string ClientSession::Text(std::string_view text) const
{
    std::string bytes;
    AssignText(bytes, text);
    return bytes;
}

void ClientSession::AssignText(std::string& utf8, std::string_view text) const
{
    // Codes below 32 would be the display's user characters, never a client's to pick; C1
    // controls have no glyph.
    auto shown = [](char32_t c) -> char32_t { return c < 32 ? U' ' : c >= 0x80 && c < 0xA0 ? U'?' : c; };
    // Printable ASCII, nearly every text, is the same in both and in UTF-8: copied a run at once.
    auto asciiRun = [](std::string_view bytes, std::size_t at) {
        const std::size_t from = at;
        while (at < bytes.size() && bytes[at] >= 32 && static_cast<unsigned char>(bytes[at]) < 0x80)
            ++at;
        return at - from;
    };
    utf8.clear();
    // Cut in bytes of input, as a Latin-1 client's; each malformed UTF-8 byte is U+FFFD.
    const std::string_view cut = utf8_ ? Utf8Prefix(text, limits_.text) : text.substr(0, limits_.text);
    for (std::size_t at = 0; at < cut.size();) {
        if (const std::size_t run = asciiRun(cut, at)) {
            utf8.append(cut.substr(at, run));
            at += run;
        } else if (utf8_) {
            AppendUtf8(utf8, shown(NextCodePoint(cut, at)));
        } else { // Latin-1 bytes are the code points U+0000-U+00FF
            AppendUtf8(utf8, shown(static_cast<unsigned char>(cut[at++])));
        }
    }
}

std::string ClientSession::Echo(std::string_view text) const
{
    if (utf8_)
        return Text(text);
    // A Latin-1 client is answered in Latin-1.
    std::string bytes(text.substr(0, limits_.text));
    for (char& c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        c = byte < 32 ? ' ' : byte >= 0x80 && byte < 0xA0 ? '?' : c;
    }
    return bytes;
}

ClientSession::Outcome ClientSession::Execute(std::string_view line)
{
    Outcome out;
    Execute(line, out);
    return out;
}

void ClientSession::Execute(std::string_view line, Outcome& out)
{
    out.replies.clear();
    out.screensChanged = false;
    out.close = false;
    out.menuGoto.reset();
    if (line.empty())
        return;
    if (!SplitArguments(line, argumentText_, arguments_)) {
        out.replies.emplace_back("huh? Could not parse command");
        return;
    }
    const Arguments a(arguments_);
    if (a.empty()) {
        out.replies.emplace_back("huh? Invalid command \"(null)\"");
        return;
    }
    using Handler = void (ClientSession::*)(const Arguments&, Outcome&);
    static constexpr std::pair<std::string_view, Handler> kCommands[] = {
        {"widget_set", &ClientSession::WidgetSet}, // nearly every line: first
        {"hello", &ClientSession::Hello},
        {"client_set", &ClientSession::ClientSet},
        {"screen_add", &ClientSession::ScreenAdd},
        {"screen_del", &ClientSession::ScreenDel},
        {"screen_set", &ClientSession::ScreenSet},
        {"widget_add", &ClientSession::WidgetAdd},
        {"widget_del", &ClientSession::WidgetDel},
        {"client_add_key", &ClientSession::AddKey},
        {"client_del_key", &ClientSession::DelKey},
        {"backlight", &ClientSession::Backlight},
        {"output", &ClientSession::Output},
        {"sleep", &ClientSession::Sleep},
        {"menu_add_item", &ClientSession::MenuAddItem},
        {"menu_del_item", &ClientSession::MenuDelItem},
        {"menu_set_item", &ClientSession::MenuSetItem},
        {"menu_goto", &ClientSession::MenuGoto},
        {"menu_set_main", &ClientSession::MenuSetMain},
    };
    const std::string_view command = a[0];
    if (command == "bye") {
        out.close = true;
        return;
    }
    if (command == "noop") {
        out.replies.emplace_back("noop complete");
        return;
    }
    if (command == "info") {
        out.replies.emplace_back("Pixtera display");
        return;
    }
    for (const auto& [name, handler] : kCommands) {
        if (command != name)
            continue;
        // Only "hello" counts before the greeting, as with LCDd.
        if (!greeted_ && command != "hello")
            out.replies.push_back("huh? Function returned error \"" + Echo(command) + "\"");
        else
            (this->*handler)(a, out);
        return;
    }
    out.replies.push_back("huh? Invalid command \"" + Echo(command) + "\"");
    return;
}

void ClientSession::Hello(const Arguments& a, Outcome& out)
{
    if (a.size() > 1)
        out.replies.emplace_back("huh? extra parameters ignored");
    greeted_ = true;
    out.replies.push_back(ConnectReply(geometry_));
}

void ClientSession::ClientSet(const Arguments& a, Outcome& out)
{
    if (a.size() != 3) {
        out.replies.emplace_back("huh? Usage: client_set -name <name>");
        return;
    }
    if (Option(a[1]) == "name") {
        name_ = Text(a[2]);
        out.replies.emplace_back("success");
        return;
    }
    for (std::size_t i = 1; i < a.size(); ++i)
        out.replies.push_back("huh? invalid parameter (" + Echo(Option(a[i])) + ")");
}

void ClientSession::ScreenAdd(const Arguments& a, Outcome& out)
{
    if (a.size() != 2) {
        out.replies.emplace_back("huh? Usage: screen_add <screenid>");
        return;
    }
    if (FindScreen(a[1])) {
        out.replies.emplace_back("huh? Screen already exists");
        return;
    }
    if (screens_.size() >= limits_.screens || a[1].size() > limits_.text) {
        out.replies.emplace_back("huh? Too many screens");
        return;
    }
    Screen screen;
    screen.id = a[1];
    screen.name = Text(a[1]);
    screens_.push_back(std::move(screen));
    out.screensChanged = true;
    out.replies.emplace_back("success");
}

void ClientSession::ScreenDel(const Arguments& a, Outcome& out)
{
    if (a.size() != 2) {
        out.replies.emplace_back("huh? Usage: screen_del <screenid>");
        return;
    }
    const auto it = std::find_if(screens_.begin(), screens_.end(), [&](const Screen& s) { return s.id == a[1]; });
    if (it == screens_.end()) {
        out.replies.emplace_back("huh? Unknown screen id");
        return;
    }
    screens_.erase(it);
    out.screensChanged = true;
    out.replies.emplace_back("success");
}

void ClientSession::ScreenSet(const Arguments& a, Outcome& out)
{
    if (a.size() == 1) {
        out.replies.emplace_back(kScreenSetUsage);
        return;
    }
    if (a.size() == 2) {
        out.replies.emplace_back("huh? What do you want to set?");
        return;
    }
    Screen* screen = FindScreen(a[1]);
    if (!screen) {
        out.replies.emplace_back("huh? Unknown screen id");
        return;
    }
    for (std::size_t i = 2; i < a.size(); ++i) {
        const std::string_view option = Option(a[i]);
        static constexpr std::string_view kKnown[] = {"name",     "wid",      "hgt",       "priority",
                                                      "duration", "timeout",  "heartbeat", "backlight",
                                                      "cursor",   "cursor_x", "cursor_y"};
        if (std::find(std::begin(kKnown), std::end(kKnown), option) == std::end(kKnown)) {
            out.replies.emplace_back("huh? invalid parameter");
            continue;
        }
        if (i + 1 >= a.size()) {
            out.replies.push_back("huh? -" + std::string(option) + " requires a parameter");
            continue;
        }
        const std::string_view value = a[++i];
        const int number = Number(value);
        const int width = screen->width > 0 ? screen->width : geometry_.columns;
        const int height = screen->height > 0 ? screen->height : geometry_.rows;
        if (option == "name") {
            screen->name = Text(value);
        } else if (option == "wid" || option == "hgt") {
            if (number > 0)
                (option == "wid" ? screen->width : screen->height) = std::min(number, 256);
        } else if (option == "priority") {
            const auto priority = ReadPriority(value);
            if (!priority) {
                out.replies.emplace_back("huh? invalid argument at -priority");
                continue;
            }
            out.screensChanged = out.screensChanged || screen->priority != *priority;
            screen->priority = *priority;
        } else if (option == "duration" || option == "timeout") {
            if (number > 0) {
                (option == "duration" ? screen->duration : screen->timeout) = number;
                out.screensChanged = true;
            }
        } else if (option == "heartbeat") {
            if (value == "on" || value == "off" || value == "open")
                screen->heartbeat = value == "on" ? Heartbeat::On : value == "off" ? Heartbeat::Off : Heartbeat::Open;
        } else if (option == "backlight") {
            static constexpr std::string_view kStates[] = {"on", "off", "toggle", "blink", "flash", "open"};
            if (std::find(std::begin(kStates), std::end(kStates), value) != std::end(kStates)) {
                const std::string state(value == "toggle" ? Toggled(screen->backlight) : value);
                out.screensChanged = out.screensChanged || screen->backlight != state;
                screen->backlight = state;
            }
        } else if (option == "cursor") {
            if (value == "off" || value == "on" || value == "under" || value == "block")
                screen->cursor = value == "off"     ? Cursor::Off
                                 : value == "on"    ? Cursor::On
                                 : value == "under" ? Cursor::Under
                                                    : Cursor::Block;
        } else { // cursor_x, cursor_y
            const bool x = option == "cursor_x";
            if (number < 1 || number > (x ? width : height)) {
                out.replies.emplace_back("huh? Cursor position outside screen");
                continue;
            }
            (x ? screen->cursorX : screen->cursorY) = number;
        }
        out.replies.emplace_back("success");
    }
}

void ClientSession::WidgetAdd(const Arguments& a, Outcome& out)
{
    if (a.size() < 4) {
        out.replies.emplace_back("huh? Usage: widget_add <screenid> <widgetid> <widgettype> [-in <id>]");
        return;
    }
    Screen* screen = FindScreen(a[1]);
    if (!screen) {
        out.replies.emplace_back("huh? Invalid screen id");
        return;
    }
    const auto type = WidgetTypeNamed(a[3]);
    if (!type) {
        out.replies.emplace_back("huh? Invalid widget type");
        return;
    }
    std::string frame;
    if (a.size() >= 6 && a[4] == "-in") {
        const Widget* container = screen->Find(a[5]);
        if (!container || container->type != WidgetType::Frame) {
            out.replies.emplace_back("huh? Error finding frame");
            return;
        }
        frame = a[5];
    }
    if (screen->Find(a[2])) { // as LCDd: accepted, and the widget stays as it was
        out.replies.emplace_back("success");
        return;
    }
    std::size_t all = 0;
    for (const Screen& each : screens_)
        all += each.widgets.size();
    if (screen->widgets.size() >= limits_.widgets || all >= limits_.allWidgets || a[2].size() > limits_.text) {
        out.replies.emplace_back("huh? Too many widgets");
        return;
    }
    Widget widget;
    widget.id = a[2];
    widget.type = *type;
    widget.frame = std::move(frame);
    screen->widgets.push_back(std::move(widget));
    out.replies.emplace_back("success");
}

void ClientSession::WidgetDel(const Arguments& a, Outcome& out)
{
    if (a.size() != 3) {
        out.replies.emplace_back("huh? Usage: widget_del <screenid> <widgetid>");
        return;
    }
    Screen* screen = FindScreen(a[1]);
    if (!screen) {
        out.replies.emplace_back("huh? Invalid screen id");
        return;
    }
    const Widget* widget = screen->Find(a[2]);
    if (!widget) {
        out.replies.emplace_back("huh? Invalid widget id");
        return;
    }
    // A frame takes its contents with it, frames in it with theirs.
    const auto gone = HeldIn(
        a[2], screen->widgets, [](const Widget& w) -> const std::string& { return w.frame; },
        [](const Widget& w) -> const std::string& { return w.id; });
    std::erase_if(screen->widgets, [&](const Widget& w) { return gone.contains(w.id); });
    out.replies.emplace_back("success");
}

void ClientSession::WidgetSet(const Arguments& a, Outcome& out)
{
    if (a.size() < 4) {
        out.replies.emplace_back("huh? Usage: widget_set <screenid> <widgetid> <widget-SPECIFIC-data>");
        return;
    }
    Screen* screen = FindScreen(a[1]);
    if (!screen) {
        out.replies.emplace_back("huh? Unknown screen id");
        return;
    }
    Widget* widget = screen->Find(a[2]);
    if (!widget) {
        out.replies.emplace_back("huh? Unknown widget id");
        return;
    }
    if (SetWidgetData(*widget, a, out)) {
        widget->set = true;
        out.replies.emplace_back("success");
    }
}

bool ClientSession::SetWidgetData(Widget& w, const Arguments& a, Outcome& out)
{
    const std::size_t count = a.size();
    auto refuse = [&](const char* reply) {
        out.replies.emplace_back(reply);
        return false;
    };
    auto wrongCount = [&] { return refuse("huh? Wrong number of arguments"); };
    auto coordinates = [&](std::size_t first, std::size_t n) {
        for (std::size_t i = first; i < first + n; ++i)
            if (!StartsWithDigit(a[i]))
                return false;
        return true;
    };
    switch (w.type) {
    case WidgetType::String:
        if (count != 6)
            return wrongCount();
        if (!coordinates(3, 2))
            return refuse("huh? Invalid coordinates");
        w.x = Number(a[3]);
        w.y = Number(a[4]);
        AssignText(w.text, a[5]);
        return true;
    case WidgetType::Title:
        if (count != 4)
            return wrongCount();
        w.text = Text(a[3]);
        return true;
    case WidgetType::Hbar:
    case WidgetType::Vbar:
        if (count != 6)
            return wrongCount();
        if (!coordinates(3, 2))
            return refuse("huh? Invalid coordinates");
        w.x = Number(a[3]);
        w.y = Number(a[4]);
        w.length = Number(a[5]);
        return true;
    case WidgetType::Pbar:
        if (count < 7 || count > 9)
            return wrongCount();
        if (!coordinates(3, 2))
            return refuse("huh? Invalid coordinates");
        w.x = Number(a[3]);
        w.y = Number(a[4]);
        w.length = Number(a[5]);
        w.promille = std::clamp(Number(a[6]), 0, 1000);
        w.text = count > 7 ? Text(a[7]) : std::string();
        w.endText = count > 8 ? Text(a[8]) : std::string();
        return true;
    case WidgetType::Icon: {
        if (count != 6)
            return wrongCount();
        if (!coordinates(3, 2))
            return refuse("huh? Invalid coordinates");
        const auto icon = IconNamed(a[5]);
        if (!icon)
            return refuse("huh? Invalid icon name");
        w.x = Number(a[3]);
        w.y = Number(a[4]);
        w.icon = *icon;
        return true;
    }
    case WidgetType::Scroller:
        if (count != 10)
            return wrongCount();
        if (!coordinates(3, 4))
            return refuse("huh? Invalid coordinates");
        if (a[7] != "h" && a[7] != "v" && a[7] != "m")
            return refuse("huh? Invalid direction");
        w.left = Number(a[3]);
        w.top = Number(a[4]);
        w.right = Number(a[5]);
        w.bottom = Number(a[6]);
        w.direction = a[7][0];
        w.speed = Number(a[8]);
        w.text = Text(a[9]);
        return true;
    case WidgetType::Frame:
        if (count != 11)
            return wrongCount();
        if (!coordinates(3, 6))
            return refuse("huh? Invalid coordinates");
        if (a[9] != "h" && a[9] != "v")
            return refuse("huh? Invalid direction");
        w.left = Number(a[3]);
        w.top = Number(a[4]);
        w.right = Number(a[5]);
        w.bottom = Number(a[6]);
        w.width = std::min(Number(a[7]), 256);
        w.height = std::min(Number(a[8]), 256);
        w.direction = a[9][0];
        w.speed = Number(a[10]);
        return true;
    case WidgetType::Num:
        if (count != 5)
            return wrongCount();
        if (!coordinates(3, 2))
            return refuse("huh? Invalid coordinates");
        w.x = Number(a[3]);
        w.length = Number(a[4]);
        if (w.length < 0 || w.length > 10)
            return refuse("huh? Invalid number");
        return true;
    }
    return wrongCount();
}

void ClientSession::AddKey(const Arguments& a, Outcome& out)
{
    if (a.size() < 2) {
        out.replies.emplace_back("huh? Usage: client_add_key [-exclusively|-shared] {<key>}+");
        return;
    }
    bool exclusive = false; // shared unless said, as LCDd
    for (std::size_t i = 1; i < a.size(); ++i) {
        if (a[i].starts_with('-')) {
            if (a[i] == "-exclusively" || a[i] == "-shared")
                exclusive = a[i] == "-exclusively";
            else
                out.replies.push_back("huh? Invalid option: " + Echo(a[i]));
            continue;
        }
        const std::string key(a[i]);
        const auto held = keys_.find(key);
        const bool free = keyCheck_ ? keyCheck_(key, exclusive) : held == keys_.end() || (!held->second && !exclusive);
        // A key past the bounds is refused as a taken one is: "success" would say it was reserved.
        const bool kept = held != keys_.end() || (keys_.size() < limits_.keys && key.size() <= 64);
        if (!free || !kept) {
            out.replies.push_back("huh? Could not reserve key \"" + Echo(key) + "\"");
            continue;
        }
        keys_[key] = keys_[key] || exclusive;
    }
    out.replies.emplace_back("success");
}

void ClientSession::DelKey(const Arguments& a, Outcome& out)
{
    if (a.size() < 2) {
        out.replies.emplace_back("huh? Usage: client_del_key {<key>}+");
        return;
    }
    for (std::size_t i = 1; i < a.size(); ++i)
        keys_.erase(std::string(a[i]));
    out.replies.emplace_back("success");
}

void ClientSession::Backlight(const Arguments& a, Outcome& out)
{
    if (a.size() != 2) {
        out.replies.emplace_back("huh? Usage: backlight {on|off|toggle|blink|flash}");
        return;
    }
    static constexpr std::string_view kStates[] = {"on", "off", "toggle", "blink", "flash"};
    if (std::find(std::begin(kStates), std::end(kStates), a[1]) != std::end(kStates)) {
        const std::string state(a[1] == "toggle" ? Toggled(backlight_) : a[1]);
        out.screensChanged = backlight_ != state; // its screens' look changed
        backlight_ = state;
    }
    out.replies.emplace_back("success");
}

std::string ClientSession::Backlight(const Screen& screen) const
{
    return screen.backlight != "open" ? screen.backlight : backlight_;
}

void ClientSession::Output(const Arguments& a, Outcome& out)
{
    if (a.size() != 2) {
        out.replies.emplace_back("huh? Usage: output {on|off|<num>}");
        return;
    }
    const std::string text(a[1]);
    char* end = nullptr;
    std::strtol(text.c_str(), &end, 0);
    const bool number = !text.empty() && *end == '\0';
    out.replies.emplace_back(a[1] == "on" || a[1] == "off" || number ? "success" : "huh? invalid parameter...");
}

void ClientSession::Sleep(const Arguments& a, Outcome& out)
{
    if (a.size() != 2) {
        out.replies.emplace_back("huh? Usage: sleep <secs>");
        return;
    }
    const std::string text(a[1]);
    char* end = nullptr;
    const long seconds = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') {
        out.replies.emplace_back("huh? invalid parameter...");
        return;
    }
    // LCDd answers and sleeps not: a client never holds the server up.
    out.replies.push_back("sleeping " + std::to_string(std::clamp<long>(seconds, 0, 60)) + " seconds");
    out.replies.emplace_back("huh? ignored (not fully implemented)");
}

bool ClientSession::KnownMenu(std::string_view id) const
{
    return id.empty() || std::any_of(menu_.begin(), menu_.end(),
                                     [&](const MenuItem& item) { return item.id == id && item.type == "menu"; });
}

void ClientSession::MenuAddItem(const Arguments& a, Outcome& out)
{
    if (a.size() < 4) {
        out.replies.emplace_back("huh? Usage: menu_add_item <menuid> <newitemid> <type> [<options>]");
        return;
    }
    if (!KnownMenu(a[1])) {
        out.replies.emplace_back("huh? Cannot find menu id");
        return;
    }
    static constexpr std::string_view kTypes[] = {"menu",   "action",  "checkbox", "ring",
                                                  "slider", "numeric", "alpha",    "ip"};
    if (std::find(std::begin(kTypes), std::end(kTypes), a[3]) == std::end(kTypes)) {
        out.replies.emplace_back("huh? Invalid menuitem type");
        return;
    }
    const bool exists = std::any_of(menu_.begin(), menu_.end(), [&](const MenuItem& item) { return item.id == a[2]; });
    if (exists) {
        out.replies.emplace_back("huh? Item id already in use");
        return;
    }
    if (menu_.size() >= limits_.menuItems || a[2].size() > limits_.text) {
        out.replies.emplace_back("huh? Too many menu items");
        return;
    }
    MenuItem item;
    item.menu = a[1];
    item.id = a[2];
    item.type = a[3];
    item.text = Text(a[2]);
    item.value = item.type == "checkbox" ? "off" : item.type == "ring" ? "0" : "";
    std::size_t first = 4;
    if (a.size() > 4 && !a[4].starts_with('-')) // the text may come before the options
        item.text = Text(a[first++]);
    SetMenuOptions(item, a, first);
    menu_.push_back(std::move(item));
    out.replies.emplace_back("success");
}

void ClientSession::MenuDelItem(const Arguments& a, Outcome& out)
{
    if (a.size() != 3) {
        out.replies.emplace_back("huh? Usage: menu_del_item <menuid> <itemid>");
        return;
    }
    if (menu_.empty()) {
        out.replies.emplace_back("huh? Client has no menu");
        return;
    }
    const auto before = menu_.size();
    const auto gone = HeldIn(
        a[2], menu_, [](const MenuItem& item) -> const std::string& { return item.menu; },
        [](const MenuItem& item) -> const std::string& { return item.id; });
    std::erase_if(menu_, [&](const MenuItem& item) { return gone.contains(item.id); });
    out.replies.emplace_back(menu_.size() == before ? "huh? Cannot find item" : "success");
}

void ClientSession::MenuSetItem(const Arguments& a, Outcome& out)
{
    if (a.size() < 3) {
        out.replies.emplace_back("huh? Usage: menu_set_item <menuid> <itemid> {<option>}+");
        return;
    }
    const auto it = std::find_if(menu_.begin(), menu_.end(), [&](const MenuItem& item) { return item.id == a[2]; });
    if (it == menu_.end()) {
        out.replies.emplace_back("huh? Cannot find menu id");
        return;
    }
    SetMenuOptions(*it, a, 3);
    out.replies.emplace_back("success");
}

void ClientSession::MenuGoto(const Arguments& a, Outcome& out)
{
    if (a.size() < 2 || a.size() > 3) {
        out.replies.emplace_back("huh? Usage: menu_goto <menuid> [<predecessor_id>]");
        return;
    }
    if (!KnownMenu(a[1])) {
        out.replies.emplace_back("huh? Cannot find menu id");
        return;
    }
    out.menuGoto = a[1];
    out.replies.emplace_back("success");
}

void ClientSession::MenuSetMain(const Arguments& a, Outcome& out)
{
    if (a.size() != 2) {
        out.replies.emplace_back("huh? Usage: menu_set_main <menuid>");
        return;
    }
    if (!KnownMenu(a[1]) && a[1] != "_main_") {
        out.replies.emplace_back("huh? Cannot find menu id");
        return;
    }
    mainMenu_ = a[1] == "_main_" ? std::string() : a[1];
    out.replies.emplace_back("success");
}

void ClientSession::SetMenuOptions(MenuItem& item, const Arguments& a, std::size_t first)
{
    // Options come in pairs; those the menu does not show (-minvalue, -prev ...) are kept by
    // the client, which sends what it needs again with its events.
    for (std::size_t i = first; i + 1 < a.size(); i += 2) {
        const std::string_view option = Option(a[i]);
        const std::string_view value = a[i + 1];
        if (option == "text")
            item.text = Text(value);
        else if (option == "is_hidden")
            item.hidden = value == "true";
        else if (option == "menu_result" && (value == "none" || value == "close" || value == "quit"))
            item.result = value;
        else if (option == "value")
            item.value = Text(value);
        else if (option == "allow_gray")
            item.allowGray = value == "true";
        else if (option == "strings") {
            item.strings.clear();
            // Tab-separated, as LCDd splits them; bounded like any of the client's texts.
            const std::string text(value.substr(0, limits_.text));
            for (std::size_t at = 0; item.strings.size() < 64;) {
                const std::size_t tab = text.find('\t', at);
                item.strings.push_back(Text(text.substr(at, tab == std::string::npos ? tab : tab - at)));
                if (tab == std::string::npos)
                    break;
                at = tab + 1;
            }
        }
    }
}

} // namespace pixtera::lcdproc
