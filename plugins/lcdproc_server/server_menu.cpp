// SPDX-License-Identifier: MIT
// The clients' menus on a display: the list of the clients that have one (or the one client's
// menu alone), driven by Up, Down, Enter and Escape, drawn as a screen of the server's own. The
// clients hear what was chosen as LCDd tells them: "menuevent select <id>" for an action,
// "menuevent update <id> <value>" for a checkbox or ring changed. Every member runs under the
// state's mutex.

#include "server_state.h"
#include "utf8_text.h"

#include <algorithm>

namespace pixtera::lcdproc {

std::vector<ClientId> ServerState::ClientsWithMenus() const
{
    std::vector<ClientId> with;
    for (const auto& [id, client] : clients_)
        if (std::any_of(client.session.menu().begin(), client.session.menu().end(),
                        [](const MenuItem& item) { return !item.hidden; }))
            with.push_back(id);
    return with;
}

std::vector<ServerState::MenuEntry> ServerState::Entries(const MenuLevel& level)
{
    std::vector<MenuEntry> entries;
    if (level.client == 0) {
        for (ClientId id : ClientsWithMenus()) {
            const std::string& name = clients_.at(id).session.name();
            entries.push_back({name.empty() ? "Client " + std::to_string(id) : name, id, nullptr});
        }
        return entries;
    }
    const auto client = clients_.find(level.client);
    if (client == clients_.end())
        return entries;
    for (MenuItem& item : client->second.session.menu())
        if (item.menu == level.menu && !item.hidden)
            entries.push_back({item.text, level.client, &item});
    return entries;
}

bool ServerState::MenuValid()
{
    if (!menu_)
        return false;
    bool valid = !menu_->levels.empty();
    for (const MenuLevel& level : menu_->levels) {
        if (!valid)
            break;
        if (level.client == 0)
            continue;
        const auto client = clients_.find(level.client);
        valid = client != clients_.end() &&
                (level.menu.empty() ||
                 std::any_of(client->second.session.menu().begin(), client->second.session.menu().end(),
                             [&](const MenuItem& item) { return item.id == level.menu && item.type == "menu"; }));
    }
    if (valid && Entries(menu_->levels.back()).empty())
        valid = false;
    if (!valid)
        menu_.reset();
    return valid;
}

bool ServerState::OpenMenus(long display)
{
    const auto with = ClientsWithMenus();
    if (with.empty())
        return false;
    // One client's menu is shown at once; several are listed by their clients' names.
    if (with.size() == 1)
        return OpenMenuAt(display, with.front(), clients_.at(with.front()).session.mainMenu());
    menu_ = OpenMenu{display, {MenuLevel{}}};
    return MenuValid();
}

bool ServerState::OpenMenuAt(long display, ClientId client, const std::string& menu)
{
    const auto owner = clients_.find(client);
    if (owner == clients_.end())
        return false;
    const auto& items = owner->second.session.menu();
    // The way in from the client's main menu, so that Escape walks back out. Each step goes
    // one menu up; no more steps than items, however the client nested them.
    std::vector<MenuLevel> levels{MenuLevel{client, menu, 0}};
    const std::string& main = owner->second.session.mainMenu();
    for (std::size_t step = 0; step < items.size() && !levels.front().menu.empty() && levels.front().menu != main;
         ++step) {
        const auto it = std::find_if(items.begin(), items.end(),
                                     [&](const MenuItem& item) { return item.id == levels.front().menu; });
        if (it == items.end())
            break;
        levels.insert(levels.begin(), MenuLevel{client, it->menu, 0});
    }
    menu_ = OpenMenu{display, std::move(levels)};
    return MenuValid();
}

bool ServerState::MenuKey(const std::string& key)
{
    MenuLevel& level = menu_->levels.back();
    auto entries = Entries(level);
    level.cursor = std::min(level.cursor, entries.size() - 1);
    if (key == "Up") {
        level.cursor = level.cursor == 0 ? entries.size() - 1 : level.cursor - 1;
    } else if (key == "Down") {
        level.cursor = level.cursor + 1 == entries.size() ? 0 : level.cursor + 1;
    } else if (key == "Enter" || key == "Right") {
        Select(level, entries[level.cursor]);
    } else if (key == "Escape" || key == "Left") {
        menu_->levels.pop_back();
        if (menu_->levels.empty())
            menu_.reset();
    } else {
        return false;
    }
    if (menu_)
        MenuValid();
    return true;
}

void ServerState::Select(MenuLevel& level, MenuEntry& entry)
{
    Client& client = clients_.at(entry.client);
    if (!entry.item) { // a client in the list of clients
        menu_->levels.push_back(MenuLevel{entry.client, client.session.mainMenu(), 0});
        return;
    }
    MenuItem& item = *entry.item;
    if (item.type == "menu") {
        MenuLevel inner{entry.client, item.id, 0};
        if (!Entries(inner).empty()) // an empty menu is not entered: there is nothing to choose
            menu_->levels.push_back(std::move(inner));
    } else if (item.type == "action") {
        Queue(client, "menuevent select " + item.id);
        if (item.result == "quit")
            menu_.reset();
        else if (item.result == "close" && menu_->levels.size() > 1)
            menu_->levels.pop_back();
        else if (item.result == "close")
            menu_.reset();
    } else if (item.type == "checkbox") {
        item.value = item.value == "off" ? "on" : item.value == "on" && item.allowGray ? "gray" : "off";
        Queue(client, "menuevent update " + item.id + " " + item.value);
    } else if (item.type == "ring" && !item.strings.empty()) {
        const long index =
            std::clamp<long>(std::atol(item.value.c_str()), 0, static_cast<long>(item.strings.size()) - 1);
        item.value = std::to_string((index + 1) % static_cast<long>(item.strings.size()));
        Queue(client, "menuevent update " + item.id + " " + item.value);
    }
    (void)level; // sliders, numbers and texts are shown with their values, not edited here
}

Screen ServerState::MenuScreen(const Geometry& geometry)
{
    const MenuLevel& level = menu_->levels.back();
    const auto entries = Entries(level);
    Screen screen;
    screen.id = "_menu_";
    screen.heartbeat = Heartbeat::Off;
    std::string title = "Menu";
    if (level.client != 0) {
        const Client& client = clients_.at(level.client);
        const auto& items = client.session.menu();
        const auto it = std::find_if(items.begin(), items.end(), [&](const MenuItem& i) { return i.id == level.menu; });
        title = it != items.end() ? it->text : !client.session.name().empty() ? client.session.name() : title;
    }
    Widget heading;
    heading.id = "title";
    heading.type = WidgetType::Title;
    heading.set = true;
    heading.text = title;
    const int listTop = geometry.rows > 1 ? 2 : 1;
    if (geometry.rows > 1)
        screen.widgets.push_back(heading);
    // The list scrolls so that the cursor's row is always in view.
    const auto visible = static_cast<std::size_t>(std::max(1, geometry.rows - listTop + 1));
    const std::size_t first = level.cursor >= visible ? level.cursor - visible + 1 : 0;
    for (std::size_t i = first; i < entries.size() && i < first + visible; ++i) {
        const MenuEntry& entry = entries[i];
        std::string value;
        if (entry.item && entry.item->type == "menu")
            value = ">";
        else if (entry.item && entry.item->type == "ring" && !entry.item->strings.empty())
            value = entry.item->strings[static_cast<std::size_t>(std::clamp<long>(
                std::atol(entry.item->value.c_str()), 0, static_cast<long>(entry.item->strings.size()) - 1))];
        else if (entry.item && entry.item->type != "action")
            value = entry.item->value;
        std::string line = (i == level.cursor ? ">" : " ") + entry.text;
        const auto width = static_cast<std::size_t>(std::max(1, geometry.columns));
        if (!value.empty()) {
            // Widths in cells, a code point each, never bytes.
            value = FirstCells(value, width / 2);
            const std::size_t valueCells = CellCount(value);
            line = FirstCells(line, width - valueCells - 1);
            line += std::string(width - valueCells - CellCount(line), ' ') + value;
        }
        Widget row;
        row.id = "item" + std::to_string(i);
        row.type = WidgetType::String;
        row.set = true;
        row.x = 1;
        row.y = listTop + static_cast<int>(i - first);
        row.text = line;
        screen.widgets.push_back(std::move(row));
    }
    return screen;
}

} // namespace pixtera::lcdproc
