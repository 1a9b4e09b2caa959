// SPDX-License-Identifier: MIT
#pragma once
// The keys pressed on the displays, on their way to Home Assistant's event entities: at most one
// event per display every kGap, so that a key held at 1 kHz costs the broker ten messages a
// second. A key pressed again while it waits is merged into it (its presses counted); other keys
// wait behind it, at most kMostWaiting per display, and the rest are left out.

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::bridge {

struct KeyEvent {
    int display = 0; // from 1
    std::string key; // as KeyName writes it
    int presses = 1;
};

class KeyEvents {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kGap{100};
    static constexpr std::size_t kMostWaiting = 8;
    static constexpr int kMostPresses = 1000000; // a count that cannot overflow

    // False when the key was left out: the display's keys waiting are kMostWaiting already.
    bool Push(int display, const std::string& key);
    // The events due by `now`, one per display at most, taken.
    std::vector<KeyEvent> Take(Clock::time_point now);
    // When the next waiting event is due; none while nothing waits.
    std::optional<Clock::time_point> NextDue() const;
    // No key waits (a display may still be in its gap).
    bool empty() const { return !NextDue(); }
    // A display gone: its keys go too.
    void Forget(int display);

private:
    struct Display {
        std::deque<KeyEvent> waiting;
        Clock::time_point last{}; // when its last event was taken
        bool sent = false;
    };
    std::map<int, Display> waiting_; // displays with keys waiting, or sent lately
};

} // namespace pixtera::bridge
