// SPDX-License-Identifier: MIT
#pragma once
// A display's traffic a second, as the bus announces it: a window of a second opens when a frame
// is written and closes with the frames and bytes it saw; it stays open while frames come and
// shuts after a second without any, so that a static screen has no timer at all. A value is
// announced only when it differs from the last one: a screen that goes quiet is announced once,
// as zeros.

#include "frame_tally.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>

namespace pixtera {

struct Throughput {
    std::int32_t frames = 0; // a second
    std::int32_t bytes = 0; // a second
    std::int64_t microseconds = 0; // the last frame's time on its link
    bool operator==(const Throughput&) const = default;
};

class ThroughputWindow {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kPeriod{1};

    // What the display wrote before it was watched is no window's.
    void Start(const TrafficTotals& totals) { base_ = totals; }
    // A frame was written by `now`: a window opens unless one is open.
    void Noticed(Clock::time_point now)
    {
        if (!start_)
            start_ = now;
    }
    std::optional<Clock::time_point> deadline() const
    {
        return start_ ? std::optional<Clock::time_point>(*start_ + kPeriod) : std::nullopt;
    }
    bool Due(Clock::time_point now) const { return start_ && *start_ + kPeriod <= now; }
    // The window ends at `now` with the display's totals then: what to announce, if it changed.
    std::optional<Throughput> Close(Clock::time_point now, const TrafficTotals& totals)
    {
        const auto elapsed = std::max<Clock::duration>(now - start_.value_or(now), kPeriod);
        const std::uint64_t frames = totals.frames - base_.frames;
        const Throughput rate{PerSecond(frames, elapsed), PerSecond(totals.bytes - base_.bytes, elapsed),
                              totals.lastMicroseconds};
        base_ = totals;
        if (frames > 0)
            start_ = now;
        else
            start_.reset();
        if (rate == announced_)
            return std::nullopt;
        announced_ = rate;
        return rate;
    }
    const Throughput& announced() const { return announced_; }
    // Whether closing with these totals ends the window: no frame since the last close.
    bool EndsWith(const TrafficTotals& totals) const { return totals.frames == base_.frames; }

private:
    static std::int32_t PerSecond(std::uint64_t count, Clock::duration elapsed)
    {
        const double rate = static_cast<double>(count) * std::chrono::duration<double>(kPeriod) /
                            std::chrono::duration<double>(elapsed);
        constexpr double kMost = std::numeric_limits<std::int32_t>::max();
        return static_cast<std::int32_t>(rate >= kMost ? kMost : rate + 0.5);
    }

    std::optional<Clock::time_point> start_;
    TrafficTotals base_;
    Throughput announced_;
};

} // namespace pixtera
