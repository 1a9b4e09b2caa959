// SPDX-License-Identifier: MIT
#pragma once
// Walking a menu with a display's keys: where the user is (the submenus opened, the cursor, the
// first entry shown, a question asked) and what a key makes of it. Pure: no display, no clock of
// its own, no thread; its owner hands it keys and the time, and does what it answers.

#include <pixtera/menu_file.h>
#include <pixtera/sdk/display_input.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace pixtera {

struct MenuState {
    std::vector<std::size_t> path; // the submenus opened, by their place in their level
    std::size_t cursor = 0; // the entry chosen in the level shown
    std::size_t top = 0; // the first entry on the display
    bool confirming = false; // the chosen action's question is shown

    bool operator==(const MenuState&) const = default;
};

struct MenuStep {
    enum class Kind {
        Nothing, // the key changed nothing
        Redraw, // the menu shows something else
        Confirm, // the chosen action's question is shown; Enter performs it, Escape goes back
        Perform, // do `action` (the menu stays open where it is; its owner may close it)
        Leave, // the menu closed: the display shows its queue again
    };
    Kind kind = Kind::Nothing;
    MenuAction action; // Perform's
    std::string label; // the performed entry's

    bool operator==(const MenuStep&) const = default;
};

class MenuNavigator {
public:
    using Clock = std::chrono::steady_clock;

    // `visibleEntries`: the rows that show entries (the display's rows below the title row).
    // `idleTimeout`: the menu closes when no key came for so long; zero keeps it open.
    MenuNavigator(std::shared_ptr<const Menu> menu, std::size_t visibleEntries, std::chrono::milliseconds idleTimeout);

    // Shows the top level, its first entry chosen.
    void Open(Clock::time_point now);
    // Closes without a step (the owner's own reason: the display went away, the menu changed).
    void Close();
    bool IsOpen() const { return open_; }

    // A key from IKeySink: a KeyCode and a KeyAction. Up and Down repeat while held; nothing else
    // does, so that a held Enter never answers the question it raised.
    MenuStep Key(LONG key, LONG action, Clock::time_point now);
    // Leave once the idle time has passed since the last key; Nothing otherwise.
    MenuStep Tick(Clock::time_point now);
    // When Tick will leave, for the owner's wait; none while closed or without a timeout.
    std::optional<Clock::time_point> Deadline() const;

    const MenuState& state() const { return state_; }
    const Menu& menu() const { return *menu_; }

private:
    MenuStep Move(bool down);
    MenuStep Choose(bool performs);
    MenuStep Back();
    const std::vector<MenuEntry>& Level() const;
    void KeepCursorShown();

    std::shared_ptr<const Menu> menu_; // never null; never changed while the navigator lives
    std::size_t visibleEntries_;
    std::chrono::milliseconds idleTimeout_;
    bool open_ = false;
    Clock::time_point lastKey_{};
    MenuState state_;
};

// The entries of the level the state shows (the top level when its path is not in the menu).
const std::vector<MenuEntry>& MenuLevel(const Menu& menu, const MenuState& state);
// The title of that level: the menu's title at the top, else the submenu's label.
const std::string& MenuLevelTitle(const Menu& menu, const MenuState& state);

} // namespace pixtera
