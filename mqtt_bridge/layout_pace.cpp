// SPDX-License-Identifier: MIT
#include "layout_pace.h"

#include <utility>

namespace pixtera::bridge {

std::optional<mqtt::Message> LayoutPace::Offer(mqtt::Message layout, Clock::time_point now)
{
    if (!Allowed(now)) {
        waiting_ = std::move(layout);
        return std::nullopt;
    }
    waiting_.reset(); // older than this one
    return layout;
}

std::optional<mqtt::Message> LayoutPace::TakeDue(Clock::time_point now)
{
    if (!waiting_ || !Allowed(now))
        return std::nullopt;
    return std::exchange(waiting_, std::nullopt);
}

std::optional<LayoutPace::Clock::time_point> LayoutPace::NextDue() const
{
    if (!waiting_)
        return std::nullopt;
    return rewritten_ ? *rewritten_ + kLayoutEvery : Clock::time_point{};
}

} // namespace pixtera::bridge
