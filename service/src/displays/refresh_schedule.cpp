// SPDX-License-Identifier: MIT
#include "refresh_schedule.h"

#include <pixtera/platform/tick_count.h>

#include <algorithm>
#include <cstdint>

namespace pixtera {
namespace {

// Distances past half the tick range would read as "before".
constexpr std::uint64_t kFurthestMs = 0x7FFFFFFEu;
constexpr DWORD kIdleMs = 0x3FFFFFFFu;

} // namespace

bool RefreshSchedule::Due(DWORD now) const { return !anchor_ || !TickIsBefore(now, next_); }

DWORD RefreshSchedule::TickAtOrAfter(DWORD time) const
{
    const DWORD elapsed = TickIsBefore(time, *anchor_) ? 0 : TicksBetween(*anchor_, time);
    const std::uint64_t periods = std::max<std::uint64_t>(1, (std::uint64_t{elapsed} + period_ - 1) / period_);
    std::uint64_t offset = periods * period_;
    if (offset > kFurthestMs)
        offset = kFurthestMs / period_ * period_;
    return *anchor_ + static_cast<DWORD>(offset);
}

void RefreshSchedule::Consider(DWORD candidate)
{
    if (TickIsBefore(candidate, next_))
        next_ = candidate;
}

void RefreshSchedule::Rendered(DWORD now, const FrameOutlook& outlook)
{
    anchor_ = now;
    next_ = TickAtOrAfter(now + kIdleMs);
    if (outlook.readsChangingValues)
        Consider(TickAtOrAfter(now));
    if (outlook.nextScrollStep)
        Consider(TickAtOrAfter(*outlook.nextScrollStep));
    watchesValues_ = outlook.readsStoredValues;
}

void RefreshSchedule::ValueChanged(DWORD now)
{
    if (anchor_)
        Consider(TickAtOrAfter(now));
}

} // namespace pixtera
