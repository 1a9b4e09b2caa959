// SPDX-License-Identifier: MIT
#pragma once
// The keys waiting for a menu: a held key repeats at whatever rate its module likes (a terminal
// at 30 Hz, a faulty keypad at 1 kHz), while the menu takes a key only as fast as it redraws. A
// repeat that follows a waiting press or repeat of the same key adds nothing, and at most
// `capacity` keys wait; more are dropped and counted.
//
// Not thread-safe: its owner keeps it under the guard of the menu it feeds.

#include <pixtera/sdk/display_input.h>

#include <cstddef>
#include <deque>
#include <optional>

namespace pixtera {

struct MenuKey {
    LONG key = 0; // a KeyCode
    LONG action = kKeyPressed; // kKeyPressed or kKeyRepeated

    bool operator==(const MenuKey&) const = default;
};

class KeyCoalescer {
public:
    explicit KeyCoalescer(std::size_t capacity = 8);

    // Whether the key now waits: a release never does (menus act on presses), a repeat merged
    // into the key before it or a key beyond the capacity neither.
    bool Add(LONG key, LONG action);
    std::optional<MenuKey> Take();

    std::size_t waiting() const { return keys_.size(); }
    std::size_t dropped() const { return dropped_; }

private:
    std::size_t capacity_;
    std::deque<MenuKey> keys_;
    std::size_t dropped_ = 0;
};

} // namespace pixtera
