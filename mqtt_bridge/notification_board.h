// SPDX-License-Identifier: MIT
#pragma once
// One display's notifications: which one shows now, and those that wait. An alert goes before
// every info and interrupts one that shows (which shows again, for the time it had left, after);
// infos take their turns. While the display is blanked nothing shows: the one showing waits again
// with the time it had left, and all are shown when it lights again unless they expired
// (`expire` after they came). Anyone may publish on the topics, as fast as the broker carries:
// at most kMostWaiting wait (an info goes first, the newest alert never), one the same as one
// showing or waiting is that one, and a showing lasts kShortestShowing before anything
// interrupts it, so the display changes at most once a second whatever comes.

#include "notification.h"

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace pixtera::bridge {

class NotificationBoard {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMostWaiting = 8;
    static constexpr std::chrono::seconds kShortestShowing{1};

    // What to say in the log when this is the first left out since the board was last empty.
    std::optional<std::string> Push(const Notification& notification, Clock::time_point now);
    void SetBlanked(bool blanked, Clock::time_point now);
    // The text the display shows now; none for its own queue.
    std::optional<std::string> Current(Clock::time_point now);
    // When Current() may change without a Push or SetBlanked; none when it cannot.
    std::optional<Clock::time_point> NextChange() const;
    std::size_t waiting() const { return waiting_.size(); }

private:
    struct Entry {
        Notification notification;
        Clock::time_point expires;
        Clock::duration left; // of its showing
    };

    void Pause(Clock::time_point now);
    void Expire(Clock::time_point now);
    std::optional<std::string> Add(Entry entry);

    std::deque<Entry> waiting_; // alerts first, then infos, each oldest first
    std::optional<Entry> showing_;
    Clock::time_point shownAt_{};
    bool blanked_ = false;
    bool said_ = false;
};

} // namespace pixtera::bridge
