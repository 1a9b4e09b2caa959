#pragma once
// Tells waiting displays that a stored data value changed: a generation counter anyone may read
// without a lock, and the events of the subscribers, each set on every change.

#include <pixtera/platform/event.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace pixtera {

class ValueChangeSignal {
public:
    // Keeps one event subscribed for its lifetime.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(ValueChangeSignal* signal, Event* event) : signal_(signal), event_(event) {}
        Subscription(Subscription&& other) noexcept : signal_(std::exchange(other.signal_, nullptr)), event_(other.event_) {}
        Subscription& operator=(Subscription&& other) noexcept
        {
            std::swap(signal_, other.signal_);
            std::swap(event_, other.event_);
            return *this;
        }
        ~Subscription()
        {
            if (signal_)
                signal_->Unsubscribe(event_);
        }

    private:
        ValueChangeSignal* signal_ = nullptr;
        Event* event_ = nullptr;
    };

    // Moves the generation on, then sets every subscribed event.
    void Notify();
    std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
    [[nodiscard]] Subscription Subscribe(Event& event);

private:
    void Unsubscribe(Event* event);

    std::atomic<std::uint64_t> generation_{0};
    std::mutex mutex_; // guards subscribers_
    std::vector<Event*> subscribers_;
};

} // namespace pixtera
