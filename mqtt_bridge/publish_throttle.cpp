// SPDX-License-Identifier: MIT
#include "publish_throttle.h"

namespace pixtera::bridge {

bool PublishThrottle::Offer(const std::string& name, const std::string& text, Clock::time_point now)
{
    const auto sent = sent_.find(name);
    if (sent == sent_.end() || now - sent->second.at >= period_) {
        if (sent != sent_.end() && sent->second.text == text) {
            waiting_.erase(name);
            return false;
        }
        sent_[name] = {text, now};
        waiting_.erase(name);
        return true;
    }
    if (sent->second.text == text)
        waiting_.erase(name); // back to what the broker has
    else
        waiting_[name] = text;
    return false;
}

std::map<std::string, std::string> PublishThrottle::Due(Clock::time_point now)
{
    std::map<std::string, std::string> due;
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        Sent& sent = sent_[it->first];
        if (now - sent.at < period_) {
            ++it;
            continue;
        }
        sent = {it->second, now};
        due.insert(*it);
        it = waiting_.erase(it);
    }
    return due;
}

std::optional<PublishThrottle::Clock::time_point> PublishThrottle::NextDue() const
{
    std::optional<Clock::time_point> next;
    for (const auto& [name, text] : waiting_) {
        const auto due = sent_.at(name).at + period_;
        if (!next || due < *next)
            next = due;
    }
    return next;
}

} // namespace pixtera::bridge
