// SPDX-License-Identifier: MIT
#pragma once
// A display's keys and its menu over the queue. While the queue shows, a key may show the design
// before or after or open the menu (its KeyBindings); while the menu is open, every key walks it.
// Keys arrive on the key thread (Key); the display's refresh thread opens, walks and draws the
// menu (Step, Frame) and does the actions it answers.
//
// Concurrency: mutex_ guards keys_, openAsked_, failure_ and failureUntil_; open_ is atomic, read
// by the key thread to decide where a key goes; the navigator is the refresh thread's alone.

#include "key_bindings.h"

#include <pixtera/key_coalescer.h>
#include <pixtera/menu_navigator.h>
#include <pixtera/platform/event.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera {

struct MenuSettings {
    KeyBindings bindings;
    std::shared_ptr<const Menu> menu; // none: the menu key opens nothing
    std::chrono::milliseconds idleTimeout{std::chrono::seconds(30)}; // zero: open until left
};

class DisplayMenu {
public:
    using Clock = std::chrono::steady_clock;
    // How long what an action answered (a refusal, a failure) shows.
    static constexpr std::chrono::seconds kFailureShown{3};

    // `rows`: the display's; the first is the menu's title row unless there is only one.
    DisplayMenu(MenuSettings settings, std::size_t rows);

    enum class KeyUse { Nothing, Menu, PreviousDesign, NextDesign };
    // Any thread. A key of the menu (the menu open, or the key that opens it) waits for the
    // refresh thread, which wake() wakes; the design keys are the caller's to do.
    KeyUse Key(LONG key, LONG action);
    // Any thread: `text` shows on the display for kFailureShown, over the queue or the menu.
    void ShowFailure(std::string text);
    Event& wake() { return wake_; }
    bool open() const { return open_; }

    // The refresh thread. What Step answered: the actions to do, in order, and whether what the
    // display shows changed.
    struct Steps {
        std::vector<MenuAction> actions;
        bool changed = false;
    };
    // Opens the menu when asked, hands it the keys waiting and the time. Showing a design
    // (ShowDesign, NextDesign, PreviousDesign) closes it, so that the design is seen.
    Steps Step(Clock::time_point now);
    // Whether the display shows the menu or a failure now, instead of its queue.
    bool Showing(Clock::time_point now) const;
    // `rows` rows of `columns` cells, a code point each.
    std::vector<std::u32string> Frame(std::size_t columns, Clock::time_point now) const;
    // When Step has something to do without a key: the end of the idle time or of a failure.
    std::optional<Clock::time_point> Deadline() const;
    // Closes the menu at once (the display went dark); the keys waiting go with it.
    void Close();

private:
    void Perform(const MenuStep& step, Steps& steps);

    const KeyBindings bindings_;
    const std::size_t rows_;
    std::optional<MenuNavigator> navigator_; // the refresh thread's; none without a menu
    std::atomic<bool> open_{false};
    Event wake_;
    mutable std::mutex mutex_; // guards the four below
    KeyCoalescer keys_;
    bool openAsked_ = false;
    std::string failure_;
    Clock::time_point failureUntil_{};
};

} // namespace pixtera
