// SPDX-License-Identifier: MIT
#pragma once
// The 32-bit millisecond tick count. Durations are differences of it, computed unsigned, so
// they wrap cleanly. Code that depends on time takes a TickClock so tests can move time.

#include <pixtera/platform/export.h>
#include <pixtera/platform/types.h>

#include <atomic>
#include <cstddef>
#include <optional>
#include <span>

namespace pixtera {

class Event;

class TickClock {
public:
    virtual DWORD Now() const = 0;
    // Waits until one of the events is set (its index; an auto-reset event is reset by it) or
    // this clock reaches `deadline` (none; no deadline waits for the events alone). Returns at
    // once when the deadline has passed already.
    virtual std::optional<std::size_t> WaitUntilAny(std::span<Event* const> events,
                                                    std::optional<DWORD> deadline) const = 0;

    // Waits until the event is set (true) or this clock reaches `deadline` (false).
    bool WaitUntil(Event& event, DWORD deadline) const
    {
        Event* const events[] = {&event};
        return WaitUntilAny(events, deadline).has_value();
    }

protected:
    ~TickClock() = default;
};

// The monotonic clock in milliseconds, truncated to 32 bits.
class PX_API SystemTickClock final : public TickClock {
public:
    DWORD Now() const override;
    std::optional<std::size_t> WaitUntilAny(std::span<Event* const> events,
                                            std::optional<DWORD> deadline) const override;
};

// A clock that moves only when told to; waits end when the event is set or the clock was
// moved to the deadline (checked every real millisecond).
class PX_API ManualTickClock final : public TickClock {
public:
    explicit ManualTickClock(DWORD start = 0) : now_(start) {}
    DWORD Now() const override { return now_.load(std::memory_order_acquire); }
    std::optional<std::size_t> WaitUntilAny(std::span<Event* const> events,
                                            std::optional<DWORD> deadline) const override;
    void Set(DWORD now) { now_.store(now, std::memory_order_release); }
    void Advance(DWORD milliseconds) { now_.fetch_add(milliseconds, std::memory_order_acq_rel); }
    // Waits with a deadline in progress: a test moves the clock once the waiter has read it, or
    // the waiter's deadline would follow the move.
    int waiters() const { return waiters_.load(std::memory_order_acquire); }

private:
    std::atomic<DWORD> now_;
    mutable std::atomic<int> waiters_{0};
};

PX_API const TickClock& SystemClock();

// Milliseconds from `since` to `now`, across the 32-bit wrap.
constexpr DWORD TicksBetween(DWORD since, DWORD now) { return now - since; }

// True when `now` has not yet reached `end` (both on the same wrapping clock, less than
// 2^31 ms apart).
constexpr bool TickIsBefore(DWORD now, DWORD end) { return static_cast<std::int32_t>(now - end) < 0; }

} // namespace pixtera

extern "C" {
// The process clock: the system clock unless a test replaced it.
PX_API DWORD GetTickCount();
PX_API void Sleep(DWORD milliseconds);
}

namespace pixtera {
// Replaces the clock behind GetTickCount for the whole process; nullptr restores the system clock.
PX_API void SetProcessTickClock(const TickClock* clock);
} // namespace pixtera
