// SPDX-License-Identifier: MIT
#pragma once
// At most one publication a second (or a period of the owner's) per value: a change within the
// period waits for its end, and only the newest value of the wait is sent.

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace pixtera::bridge {

class PublishThrottle {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kPeriod{1};

    explicit PublishThrottle(Clock::duration period = kPeriod) : period_(period) {}

    // The value `text` of `name` is current: true when it is to be sent now.
    bool Offer(const std::string& name, const std::string& text, Clock::time_point now);
    // The values whose wait ended by `now`, taken (name, text).
    std::map<std::string, std::string> Due(Clock::time_point now);
    // When the earliest waiting value is due; none when nothing waits.
    std::optional<Clock::time_point> NextDue() const;
    // Everything is sent again (a new broker connection): the next offer of each goes at once.
    void Forget()
    {
        sent_.clear();
        waiting_.clear();
    }

private:
    struct Sent {
        std::string text;
        Clock::time_point at;
    };
    Clock::duration period_;
    std::map<std::string, Sent> sent_;
    std::map<std::string, std::string> waiting_;
};

} // namespace pixtera::bridge
