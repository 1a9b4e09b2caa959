// SPDX-License-Identifier: MIT
#pragma once
// What a display wrote, totalled since it started: its frames, and the bytes its driver measured
// on its link. The driver measures one frame at a time (IDisplayTraffic), and its writer may take
// a frame after Write has returned, so each measure is counted once, when it is first seen that
// differs from the one before: after each frame, and again whenever the totals are read.

#include <pixtera/platform/com.h>

#include <cstdint>
#include <mutex>
#include <optional>

namespace pixtera {

// What the driver measured of its last frame on its link; zeros before the first.
struct FrameTraffic {
    LONG bytes = 0;
    LONG messages = 0;
    LONGLONG clocks = 0;
    LONGLONG microseconds = 0;
    bool operator==(const FrameTraffic&) const = default;
};

struct TrafficTotals {
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;
    LONGLONG lastMicroseconds = 0; // the last frame measured, pauses included
};

// Thread-safe: the display's refresh thread counts, the bus thread reads.
class FrameTally {
public:
    // A frame was written; `measure` is the driver's now, none from a driver that does not measure.
    void Written(const std::optional<FrameTraffic>& measure)
    {
        std::lock_guard lock(mutex_);
        ++totals_.frames;
        Take(measure);
    }
    TrafficTotals Totals(const std::optional<FrameTraffic>& measure)
    {
        std::lock_guard lock(mutex_);
        Take(measure);
        return totals_;
    }

private:
    void Take(const std::optional<FrameTraffic>& measure)
    {
        if (!measure || *measure == seen_)
            return;
        seen_ = *measure;
        if (measure->bytes > 0)
            totals_.bytes += static_cast<std::uint64_t>(measure->bytes);
        totals_.lastMicroseconds = measure->microseconds;
    }

    std::mutex mutex_; // guards totals_ and seen_
    TrafficTotals totals_;
    FrameTraffic seen_;
};

} // namespace pixtera
