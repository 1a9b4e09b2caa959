// SPDX-License-Identifier: MIT
#include "notification_board.h"

#include <algorithm>
#include <utility>

namespace pixtera::bridge {
namespace {

bool Same(const Notification& a, const Notification& b) { return a.text == b.text && a.priority == b.priority; }

} // namespace

std::optional<std::string> NotificationBoard::Push(const Notification& notification, Clock::time_point now)
{
    Expire(now);
    if (showing_ && Same(showing_->notification, notification))
        return std::nullopt;
    const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                   [&](const Entry& entry) { return Same(entry.notification, notification); });
    if (same != waiting_.end()) {
        same->expires = std::max(same->expires, now + notification.expire);
        return std::nullopt;
    }
    return Add({notification, now + notification.expire, notification.duration});
}

std::optional<std::string> NotificationBoard::Add(Entry entry)
{
    const bool alert = entry.notification.priority == Priority::Alert;
    // Behind the last of its priority.
    auto at = waiting_.end();
    if (alert)
        at = std::find_if(waiting_.begin(), waiting_.end(),
                          [](const Entry& waiting) { return waiting.notification.priority == Priority::Info; });
    waiting_.insert(at, std::move(entry));
    if (waiting_.size() <= kMostWaiting)
        return std::nullopt;
    // The oldest info goes, else the oldest alert.
    const auto info = std::find_if(waiting_.begin(), waiting_.end(), [](const Entry& waiting) {
        return waiting.notification.priority == Priority::Info;
    });
    waiting_.erase(info != waiting_.end() ? info : waiting_.begin());
    if (std::exchange(said_, true))
        return std::nullopt;
    return "more than " + std::to_string(kMostWaiting) + " notifications wait for a display; the oldest are left out";
}

void NotificationBoard::SetBlanked(bool blanked, Clock::time_point now)
{
    if (blanked && !blanked_)
        Pause(now);
    blanked_ = blanked;
}

// The one showing waits again, first of its priority, with the time it had left.
void NotificationBoard::Pause(Clock::time_point now)
{
    if (!showing_)
        return;
    Entry entry = std::move(*showing_);
    showing_.reset();
    entry.left -= std::min(entry.left, now - shownAt_);
    if (entry.left <= Clock::duration::zero())
        return;
    auto at = waiting_.begin();
    if (entry.notification.priority == Priority::Info)
        at = std::find_if(waiting_.begin(), waiting_.end(),
                          [](const Entry& waiting) { return waiting.notification.priority == Priority::Info; });
    waiting_.insert(at, std::move(entry));
}

void NotificationBoard::Expire(Clock::time_point now)
{
    std::erase_if(waiting_, [now](const Entry& entry) { return entry.expires <= now; });
    if (waiting_.empty() && !showing_)
        said_ = false;
}

std::optional<std::string> NotificationBoard::Current(Clock::time_point now)
{
    if (showing_ && now - shownAt_ >= showing_->left)
        showing_.reset();
    const bool settled = showing_ && now - shownAt_ >= kShortestShowing;
    if (showing_ && settled && showing_->notification.priority == Priority::Info && !waiting_.empty() &&
        waiting_.front().notification.priority == Priority::Alert)
        Pause(now);
    Expire(now);
    if (!showing_ && !blanked_ && !waiting_.empty()) {
        showing_ = std::move(waiting_.front());
        waiting_.pop_front();
        shownAt_ = now;
    }
    if (!showing_)
        return std::nullopt;
    return showing_->notification.text;
}

std::optional<NotificationBoard::Clock::time_point> NotificationBoard::NextChange() const
{
    std::optional<Clock::time_point> next;
    const auto earlier = [&next](Clock::time_point at) {
        if (!next || at < *next)
            next = at;
    };
    if (showing_) {
        earlier(shownAt_ + showing_->left);
        if (!waiting_.empty() && waiting_.front().notification.priority == Priority::Alert)
            earlier(shownAt_ + kShortestShowing);
    }
    for (const Entry& entry : waiting_)
        earlier(entry.expires);
    return next;
}

} // namespace pixtera::bridge
