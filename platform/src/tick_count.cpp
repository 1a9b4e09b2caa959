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

bool SystemTickClock::WaitUntil(Event& event, DWORD deadline) const
{
    const DWORD now = Now();
    const DWORD remaining = TickIsBefore(now, deadline) ? TicksBetween(now, deadline) : 0;
    return event.Wait(remaining) == WAIT_OBJECT_0;
}

bool ManualTickClock::WaitUntil(Event& event, DWORD deadline) const
{
    while (TickIsBefore(Now(), deadline)) {
        if (event.Wait(1) == WAIT_OBJECT_0)
            return true;
    }
    return event.Wait(0) == WAIT_OBJECT_0;
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
