// SPDX-License-Identifier: MIT
#pragma once
// How often a machine's layout may rewrite the queues: each rewrite stops the displays and writes
// pixtera2.xml once per entry, so a publisher flapping the retained layout must not turn into a
// stream of file writes. A layout that comes sooner than kLayoutEvery after the last rewrite
// waits for its turn; only the newest waits.

#include <pixtera/mqtt/mqtt_connection.h>

#include <chrono>
#include <optional>

namespace pixtera::bridge {

inline constexpr std::chrono::seconds kLayoutEvery{5};

class LayoutPace {
public:
    using Clock = std::chrono::steady_clock;

    // A layout heard at `now`: back when it may be applied now, else it waits (in place of any
    // that waited).
    std::optional<mqtt::Message> Offer(mqtt::Message layout, Clock::time_point now);
    // The waiting layout, taken, once its turn has come by `now`.
    std::optional<mqtt::Message> TakeDue(Clock::time_point now);
    // When the waiting layout's turn comes; none while none waits.
    std::optional<Clock::time_point> NextDue() const;
    // The queues were rewritten at `now`.
    void Rewritten(Clock::time_point now) { rewritten_ = now; }

private:
    bool Allowed(Clock::time_point now) const { return !rewritten_ || now >= *rewritten_ + kLayoutEvery; }

    std::optional<Clock::time_point> rewritten_;
    std::optional<mqtt::Message> waiting_;
};

} // namespace pixtera::bridge
