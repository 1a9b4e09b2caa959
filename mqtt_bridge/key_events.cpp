// SPDX-License-Identifier: MIT
#include "key_events.h"

#include <algorithm>

namespace pixtera::bridge {

bool KeyEvents::Push(int display, const std::string& key)
{
    auto& queue = waiting_[display].waiting;
    if (!queue.empty() && queue.back().key == key) {
        queue.back().presses = std::min(queue.back().presses + 1, kMostPresses);
        return true;
    }
    if (queue.size() >= kMostWaiting)
        return false;
    queue.push_back(KeyEvent{display, key, 1});
    return true;
}

std::vector<KeyEvent> KeyEvents::Take(Clock::time_point now)
{
    std::vector<KeyEvent> due;
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        Display& display = it->second;
        if (!display.waiting.empty() && (!display.sent || display.last + kGap <= now)) {
            due.push_back(std::move(display.waiting.front()));
            display.waiting.pop_front();
            display.last = now;
            display.sent = true;
        }
        // A display is kept while its gap runs, so that a key right after still waits for it.
        if (display.waiting.empty() && (!display.sent || display.last + kGap <= now))
            it = waiting_.erase(it);
        else
            ++it;
    }
    return due;
}

std::optional<KeyEvents::Clock::time_point> KeyEvents::NextDue() const
{
    std::optional<Clock::time_point> next;
    for (const auto& [number, display] : waiting_) {
        if (display.waiting.empty())
            continue;
        const Clock::time_point due = display.sent ? display.last + kGap : Clock::time_point{};
        if (!next || due < *next)
            next = due;
    }
    return next;
}

void KeyEvents::Forget(int display) { waiting_.erase(display); }

} // namespace pixtera::bridge
