// SPDX-License-Identifier: MIT
#pragma once
// Unnamed events as the Windows kernel offers them: auto-reset (a Set releases exactly one
// waiter, or stays set until one comes) or manual-reset, and waiting for any of several.

#include <pixtera/platform/export.h>
#include <pixtera/platform/types.h>

#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <span>
#include <vector>

namespace pixtera {

namespace detail {
struct EventWaiter;
}

class PX_API Event {
public:
    enum class Reset { Automatic, Manual };

    explicit Event(Reset reset = Reset::Automatic, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event();

    void Set();
    void ResetEvent();
    // WAIT_OBJECT_0 or WAIT_TIMEOUT.
    DWORD Wait(DWORD timeoutMs = INFINITE);
    bool IsSet() const;

private:
    friend PX_API DWORD WaitForAny(std::span<Event* const> events, DWORD timeoutMs);

    // Hands the signal to a waiter or records it; called with mutex_ held.
    void SignalLocked();
    // Consumes the signal if set; called with mutex_ held.
    bool TryTakeLocked();

    mutable std::mutex mutex_;
    const bool manualReset_;
    bool signaled_;
    struct Registration {
        detail::EventWaiter* waiter;
        DWORD index;
    };
    std::vector<Registration> waiters_;
};

// Waits until one of the events is set: returns WAIT_OBJECT_0 + its index (the lowest set
// index when several already are), or WAIT_TIMEOUT. An auto-reset event that releases the wait
// is reset by it.
PX_API DWORD WaitForAny(std::span<Event* const> events, DWORD timeoutMs);
inline DWORD WaitForAny(std::initializer_list<Event*> events, DWORD timeoutMs)
{
    return WaitForAny(std::span<Event* const>(events.begin(), events.size()), timeoutMs);
}

} // namespace pixtera
