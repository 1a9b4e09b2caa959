// SPDX-License-Identifier: MIT
#pragma once
// When the bus announces changed values: at once after a quiet time, else one period after the
// last announcement, and never while nothing changed. Armed only by a change, so that an idle
// service has no timer at all.

#include <chrono>
#include <optional>

namespace pixtera {

class SignalThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit SignalThrottle(Clock::duration period) : period_(period) {}

    // A change arrived at `now`.
    void Changed(Clock::time_point now)
    {
        if (pending_)
            return;
        pending_ = true;
        deadline_ = announced_ && last_ + period_ > now ? last_ + period_ : now;
    }
    // When to announce; none while nothing is pending.
    std::optional<Clock::time_point> deadline() const
    {
        return pending_ ? std::optional<Clock::time_point>(deadline_) : std::nullopt;
    }
    bool Due(Clock::time_point now) const { return pending_ && deadline_ <= now; }
    // The announcement went out at `now`.
    void Announced(Clock::time_point now)
    {
        announced_ = true;
        last_ = now;
        pending_ = false;
    }

private:
    const Clock::duration period_;
    bool announced_ = false;
    Clock::time_point last_{};
    bool pending_ = false;
    Clock::time_point deadline_{};
};

} // namespace pixtera
