// SPDX-License-Identifier: MIT
#include <pixtera/platform/event.h>
#include <pixtera/platform/tick_count.h>

#include <atomic>
#include <ctime>
#include <thread>

namespace pixtera {
namespace {
std::atomic<const TickClock*> processClock{nullptr};
}

DWORD SystemTickClock::Now() const
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

namespace {

std::optional<std::size_t> SetIndex(DWORD woken)
{
    if (woken == WAIT_TIMEOUT)
        return std::nullopt;
    return woken - WAIT_OBJECT_0;
}

} // namespace

std::optional<std::size_t> SystemTickClock::WaitUntilAny(std::span<Event* const> events,
                                                         std::optional<DWORD> deadline) const
{
    DWORD remaining = INFINITE;
    if (deadline) {
        const DWORD now = Now();
        remaining = TickIsBefore(now, *deadline) ? TicksBetween(now, *deadline) : 0;
    }
    return SetIndex(WaitForAny(events, remaining));
}

std::optional<std::size_t> ManualTickClock::WaitUntilAny(std::span<Event* const> events,
                                                         std::optional<DWORD> deadline) const
{
    if (deadline)
        waiters_.fetch_add(1, std::memory_order_acq_rel);
    std::optional<std::size_t> woken;
    while (!woken && (!deadline || TickIsBefore(Now(), *deadline)))
        woken = SetIndex(WaitForAny(events, 1));
    if (!woken)
        woken = SetIndex(WaitForAny(events, 0));
    if (deadline)
        waiters_.fetch_sub(1, std::memory_order_acq_rel);
    return woken;
}

const TickClock& SystemClock()
{
    static const SystemTickClock clock;
    return clock;
}

void SetProcessTickClock(const TickClock* clock) { processClock.store(clock, std::memory_order_release); }

} // namespace pixtera

extern "C" {

DWORD GetTickCount()
{
    const pixtera::TickClock* clock = pixtera::processClock.load(std::memory_order_acquire);
    return clock ? clock->Now() : pixtera::SystemClock().Now();
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

} // extern "C"
