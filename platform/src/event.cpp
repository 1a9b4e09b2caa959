// SPDX-License-Identifier: MIT
#include <pixtera/platform/event.h>

#include <algorithm>
#include <chrono>

namespace pixtera {

namespace detail {
// One wait in progress. `released` is set once, under `mutex`, by the first event that hands
// the wait its signal (or by the waiter itself when it gives up).
struct EventWaiter {
    std::mutex mutex;
    std::condition_variable condition;
    bool released = false;
    DWORD index = 0;
    bool timedOut = false;
};
} // namespace detail

using detail::EventWaiter;

Event::Event(Reset reset, bool initiallySet) : manualReset_(reset == Reset::Manual), signaled_(initiallySet) {}

Event::~Event() = default;

void Event::SignalLocked()
{
    // Lock order everywhere: the event first, then the waiter.
    for (auto it = waiters_.begin(); it != waiters_.end(); ++it) {
        std::lock_guard waiterLock(it->waiter->mutex);
        if (it->waiter->released)
            continue;
        it->waiter->released = true;
        it->waiter->index = it->index;
        it->waiter->condition.notify_one();
        if (!manualReset_)
            return; // an auto-reset event releases one waiter and stays reset
    }
    signaled_ = true;
}

bool Event::TryTakeLocked()
{
    if (!signaled_)
        return false;
    if (!manualReset_)
        signaled_ = false;
    return true;
}

void Event::Set()
{
    std::lock_guard lock(mutex_);
    SignalLocked();
}

void Event::ResetEvent()
{
    std::lock_guard lock(mutex_);
    signaled_ = false;
}

bool Event::IsSet() const
{
    std::lock_guard lock(mutex_);
    return signaled_;
}

DWORD Event::Wait(DWORD timeoutMs)
{
    Event* self = this;
    return WaitForAny(std::span<Event* const>(&self, 1), timeoutMs);
}

DWORD WaitForAny(std::span<Event* const> events, DWORD timeoutMs)
{
    if (events.empty())
        return WAIT_FAILED;
    EventWaiter waiter;
    std::size_t registered = 0;

    // Check each event and register with it under its lock, so that no Set can slip between.
    for (; registered < events.size(); ++registered) {
        Event& event = *events[registered];
        std::lock_guard lock(event.mutex_);
        std::lock_guard waiterLock(waiter.mutex);
        if (waiter.released)
            break; // an event registered earlier has already handed over its signal
        if (event.TryTakeLocked()) {
            waiter.released = true;
            waiter.index = static_cast<DWORD>(registered);
            break;
        }
        event.waiters_.push_back({&waiter, static_cast<DWORD>(registered)});
    }

    {
        std::unique_lock waiterLock(waiter.mutex);
        if (!waiter.released) {
            auto ready = [&] { return waiter.released; };
            if (timeoutMs == INFINITE) {
                waiter.condition.wait(waiterLock, ready);
            } else if (!waiter.condition.wait_for(waiterLock, std::chrono::milliseconds(timeoutMs), ready)) {
                // Give up; from now on no event hands this waiter a signal.
                waiter.released = true;
                waiter.timedOut = true;
            }
        }
    }

    for (std::size_t i = 0; i < registered && i < events.size(); ++i) {
        Event& event = *events[i];
        std::lock_guard lock(event.mutex_);
        auto& list = event.waiters_;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& r) { return r.waiter == &waiter; }),
                   list.end());
    }
    return waiter.timedOut ? WAIT_TIMEOUT : WAIT_OBJECT_0 + waiter.index;
}

} // namespace pixtera
