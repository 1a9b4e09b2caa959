// SPDX-License-Identifier: MIT
#include "menu_document.h"

#include <QUndoCommand>

#include <algorithm>
#include <memory>
#include <utility>

namespace pixtera::designer {
namespace {

class MenuChange final : public QUndoCommand {
public:
    MenuChange(Menu& menu, Menu before, Menu after, const QString& text, std::function<void()> done)
        : QUndoCommand(text), menu_(menu), before_(std::move(before)), after_(std::move(after)), done_(std::move(done))
    {
    }
    void undo() override
    {
        menu_ = before_;
        done_();
    }
    void redo() override
    {
        menu_ = after_;
        done_();
    }

private:
    Menu& menu_;
    const Menu before_;
    const Menu after_;
    const std::function<void()> done_;
};

std::vector<MenuEntry>* LevelOf(Menu& menu, const MenuPath& path)
{
    if (path.empty())
        return nullptr;
    std::vector<MenuEntry>* level = &menu.entries;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        if (path[i] >= level->size() || !(*level)[path[i]].submenu)
            return nullptr;
        level = &(*level)[path[i]].entries;
    }
    return path.back() < level->size() ? level : nullptr;
}

MenuEntry* EntryAt(Menu& menu, const MenuPath& path)
{
    std::vector<MenuEntry>* level = LevelOf(menu, path);
    return level ? &(*level)[path.back()] : nullptr;
}

std::size_t CountEntries(const std::vector<MenuEntry>& entries)
{
    // The tree is never deeper than the reader allows, so its depth bounds this.
    std::size_t count = entries.size();
    for (const MenuEntry& entry : entries)
        count += CountEntries(entry.entries);
    return count;
}

// The levels of submenus within `entry`, itself counting one when it is a submenu.
std::size_t SubmenuLevels(const MenuEntry& entry)
{
    if (!entry.submenu)
        return 0;
    std::size_t deepest = 0;
    for (const MenuEntry& child : entry.entries)
        deepest = std::max(deepest, SubmenuLevels(child));
    return 1 + deepest;
}

// Whether `entry` may stand at `depth` (the top level is 1): its deepest submenu still opens a
// level the reader takes.
bool FitsAt(const MenuEntry& entry, std::size_t depth) { return depth + SubmenuLevels(entry) <= kMaxMenuDepth; }

// Only the fields the action's kind has: what the file keeps of it, so that a saved menu reads
// back as the one edited.
MenuAction OwnFields(const MenuAction& action)
{
    MenuAction own;
    own.kind = action.kind;
    own.confirm = action.confirm;
    switch (action.kind) {
    case MenuActionKind::ShowDesign: own.design = action.design; break;
    case MenuActionKind::SetData:
        own.item = action.item;
        own.value = action.value;
        break;
    case MenuActionKind::RunCommand: own.command = action.command; break;
    case MenuActionKind::PublishEvent: own.event = action.event; break;
    default: break;
    }
    return own;
}

} // namespace

const MenuEntry* MenuEntryAt(const Menu& menu, const MenuPath& path) { return EntryAt(const_cast<Menu&>(menu), path); }

MenuDocument::MenuDocument(QObject* parent) : QObject(parent)
{
    menu_.title = kDefaultMenuTitle;
    connect(&stack_, &QUndoStack::cleanChanged, this, &MenuDocument::titleChanged);
}

std::optional<MenuPath> MenuDocument::Edit(const QString& text,
                                           const std::function<std::optional<MenuPath>(Menu&)>& change)
{
    Menu after = menu_;
    std::optional<MenuPath> where = change(after);
    if (!where || after == menu_)
        return where;
    // Pushing does the change (redo), which announces it.
    stack_.push(
        std::make_unique<MenuChange>(menu_, menu_, std::move(after), text, [this] { emit changed(); }).release());
    return where;
}

std::optional<MenuPath> MenuDocument::Add(const MenuPath& after, MenuEntry entry, const QString& text)
{
    return Edit(text, [&](Menu& menu) -> std::optional<MenuPath> {
        if (CountEntries(menu.entries) >= kMaxMenuEntries)
            return std::nullopt;
        if (after.empty()) {
            menu.entries.push_back(std::move(entry));
            return MenuPath{menu.entries.size() - 1};
        }
        std::vector<MenuEntry>* level = LevelOf(menu, after);
        if (!level || !FitsAt(entry, after.size()))
            return std::nullopt;
        MenuPath placed = after;
        ++placed.back();
        level->insert(level->begin() + static_cast<std::ptrdiff_t>(placed.back()), std::move(entry));
        return placed;
    });
}

std::optional<MenuPath> MenuDocument::AddEntry(const MenuPath& after, const std::string& label)
{
    MenuEntry entry;
    entry.label = label;
    return Add(after, std::move(entry), QStringLiteral("Add entry"));
}

std::optional<MenuPath> MenuDocument::AddSubmenu(const MenuPath& after, const std::string& label)
{
    MenuEntry entry;
    entry.label = label;
    entry.submenu = true;
    return Add(after, std::move(entry), QStringLiteral("Add submenu"));
}

std::optional<MenuPath> MenuDocument::Nest(const MenuPath& path)
{
    return Edit(QStringLiteral("Nest"), [&](Menu& menu) -> std::optional<MenuPath> {
        std::vector<MenuEntry>* level = LevelOf(menu, path);
        if (!level || path.back() == 0)
            return std::nullopt;
        MenuEntry& above = (*level)[path.back() - 1];
        if (!above.submenu || !FitsAt((*level)[path.back()], path.size() + 1))
            return std::nullopt;
        above.entries.push_back(std::move((*level)[path.back()]));
        MenuPath nested = path;
        --nested.back();
        nested.push_back(above.entries.size() - 1);
        level->erase(level->begin() + static_cast<std::ptrdiff_t>(path.back()));
        return nested;
    });
}

std::optional<MenuPath> MenuDocument::Unnest(const MenuPath& path)
{
    return Edit(QStringLiteral("Un-nest"), [&](Menu& menu) -> std::optional<MenuPath> {
        std::vector<MenuEntry>* level = LevelOf(menu, path);
        if (!level || path.size() < 2)
            return std::nullopt;
        MenuEntry moved = std::move((*level)[path.back()]);
        level->erase(level->begin() + static_cast<std::ptrdiff_t>(path.back()));
        MenuPath parent(path.begin(), path.end() - 1);
        std::vector<MenuEntry>* outer = LevelOf(menu, parent);
        ++parent.back();
        outer->insert(outer->begin() + static_cast<std::ptrdiff_t>(parent.back()), std::move(moved));
        return parent;
    });
}

std::optional<MenuPath> MenuDocument::MoveUp(const MenuPath& path)
{
    return Edit(QStringLiteral("Move up"), [&](Menu& menu) -> std::optional<MenuPath> {
        std::vector<MenuEntry>* level = LevelOf(menu, path);
        if (!level || path.back() == 0)
            return std::nullopt;
        std::swap((*level)[path.back()], (*level)[path.back() - 1]);
        MenuPath moved = path;
        --moved.back();
        return moved;
    });
}

std::optional<MenuPath> MenuDocument::MoveDown(const MenuPath& path)
{
    return Edit(QStringLiteral("Move down"), [&](Menu& menu) -> std::optional<MenuPath> {
        std::vector<MenuEntry>* level = LevelOf(menu, path);
        if (!level || path.back() + 1 >= level->size())
            return std::nullopt;
        std::swap((*level)[path.back()], (*level)[path.back() + 1]);
        MenuPath moved = path;
        ++moved.back();
        return moved;
    });
}

std::optional<MenuPath> MenuDocument::Rename(const MenuPath& path, const std::string& label)
{
    return Edit(QStringLiteral("Rename"), [&](Menu& menu) -> std::optional<MenuPath> {
        MenuEntry* entry = EntryAt(menu, path);
        if (!entry)
            return std::nullopt;
        entry->label = label;
        return path;
    });
}

std::optional<MenuPath> MenuDocument::SetAction(const MenuPath& path, const MenuAction& action)
{
    return Edit(QStringLiteral("Change action"), [&](Menu& menu) -> std::optional<MenuPath> {
        MenuEntry* entry = EntryAt(menu, path);
        if (!entry || entry->submenu)
            return std::nullopt;
        entry->action = OwnFields(action);
        return path;
    });
}

bool MenuDocument::Remove(const MenuPath& path)
{
    return Edit(QStringLiteral("Delete"),
                [&](Menu& menu) -> std::optional<MenuPath> {
                    std::vector<MenuEntry>* level = LevelOf(menu, path);
                    if (!level)
                        return std::nullopt;
                    level->erase(level->begin() + static_cast<std::ptrdiff_t>(path.back()));
                    return path;
                })
        .has_value();
}

bool MenuDocument::SetTitle(const std::string& title)
{
    return Edit(QStringLiteral("Title"),
                [&](Menu& menu) -> std::optional<MenuPath> {
                    menu.title = title;
                    return MenuPath{};
                })
        .has_value();
}

void MenuDocument::Replace(Menu menu, std::filesystem::path path)
{
    menu_ = std::move(menu);
    path_ = std::move(path);
    stack_.clear();
    emit changed();
    emit titleChanged();
}

void MenuDocument::New()
{
    Menu empty;
    empty.title = kDefaultMenuTitle;
    Replace(std::move(empty), {});
}

bool MenuDocument::Open(const std::filesystem::path& file, std::string* why)
{
    Menu read;
    const MenuReadResult result = LoadMenu(file, read);
    if (!result.ok) {
        if (why)
            *why = result.problem;
        return false;
    }
    Replace(std::move(read), file);
    return true;
}

bool MenuDocument::SaveAs(const std::filesystem::path& file, std::string* why)
{
    if (const std::string problem = Problem(); !problem.empty()) {
        if (why)
            *why = problem;
        return false;
    }
    if (!SaveMenu(menu_, file, why))
        return false;
    path_ = file;
    stack_.setClean();
    emit titleChanged();
    return true;
}

std::string MenuDocument::Title() const
{
    std::string title = "Menu - " + (path_.empty() ? std::string("untitled") : path_.string());
    if (modified())
        title += '*';
    return title;
}

} // namespace pixtera::designer
