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
