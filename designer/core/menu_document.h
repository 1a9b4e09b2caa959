// SPDX-License-Identifier: MIT
#pragma once
// A display's menu being edited: the tree of entries, its file, whether it has unsaved changes,
// and the history of its edits. Every edit is one undo step; the document says itself when the
// menu or its title changed, so no caller announces an edit.

#include <pixtera/menu_file.h>

#include <QObject>
#include <QUndoStack>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::designer {

// An entry's place: its index in the top level, then in each submenu down to it.
using MenuPath = std::vector<std::size_t>;

// The entry at `path`, or null when the path leads nowhere.
const MenuEntry* MenuEntryAt(const Menu& menu, const MenuPath& path);

class MenuDocument : public QObject {
    Q_OBJECT
public:
    explicit MenuDocument(QObject* parent = nullptr);

    const Menu& menu() const { return menu_; }
    const std::filesystem::path& path() const { return path_; }
    bool modified() const { return !stack_.isClean(); }
    QUndoStack& history() { return stack_; }

    // The edits. Each answers where the entry it acted on is now, or none when it could not be
    // done (a path that leads nowhere, a move past the level's end, a tree at its limits).
    //
    // A new entry after `after` in its level, or at the end of the top level when `after` is empty.
    std::optional<MenuPath> AddEntry(const MenuPath& after, const std::string& label);
    std::optional<MenuPath> AddSubmenu(const MenuPath& after, const std::string& label);
    // Into the submenu just above it in its level, as that submenu's last entry.
    std::optional<MenuPath> Nest(const MenuPath& path);
    // Out of its submenu, just after it.
    std::optional<MenuPath> Unnest(const MenuPath& path);
    std::optional<MenuPath> MoveUp(const MenuPath& path);
    std::optional<MenuPath> MoveDown(const MenuPath& path);
    std::optional<MenuPath> Rename(const MenuPath& path, const std::string& label);
    // An action entry's action with its fields (a submenu has none); fields of other kinds of
    // action are dropped, as the file would drop them.
    std::optional<MenuPath> SetAction(const MenuPath& path, const MenuAction& action);
    bool Remove(const MenuPath& path);
    bool SetTitle(const std::string& title);

    // An empty menu without a file, with a history of its own.
    void New();
    // Reads a menu file; a file the reader refuses changes nothing, and `why` says why.
    bool Open(const std::filesystem::path& file, std::string* why = nullptr);
    // Why the file reader would refuse the menu as it is; empty when it would take it.
    std::string Problem() const { return MenuProblem(menu_); }
    // Writes the menu (atomically) and takes `file` as its path. A menu the reader would refuse is
    // not written: `why` says what is wrong and the file is left as it was.
    bool SaveAs(const std::filesystem::path& file, std::string* why = nullptr);

    // "Menu - PATH" or "Menu - untitled", then "*" when modified.
    std::string Title() const;

signals:
    // The menu changed: an edit, an undo, a redo, New, Open.
    void changed();
    // The file or the modified flag changed.
    void titleChanged();

private:
    // One undo step named `text` made of `change` on a copy of the menu; nothing is recorded
    // when `change` declines (answers none) or leaves the menu as it was.
    std::optional<MenuPath> Edit(const QString& text, const std::function<std::optional<MenuPath>(Menu&)>& change);
    std::optional<MenuPath> Add(const MenuPath& after, MenuEntry entry, const QString& text);
    void Replace(Menu menu, std::filesystem::path path);

    Menu menu_;
    std::filesystem::path path_;
    QUndoStack stack_;
};

} // namespace pixtera::designer
