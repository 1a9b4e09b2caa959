// SPDX-License-Identifier: MIT
#pragma once
// Tells waiting displays, and the bus, that a stored data value changed: a generation counter
// anyone may read without a lock, and the subscribers (an event to set, or a call to make, which
// must be quick and must not subscribe), each told of every change.

#include <pixtera/platform/event.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

namespace pixtera {

class ValueChangeSignal {
public:
    // Keeps one subscriber subscribed for its lifetime.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(ValueChangeSignal* signal, std::uint64_t token) : signal_(signal), token_(token) {}
        Subscription(Subscription&& other) noexcept
            : signal_(std::exchange(other.signal_, nullptr)), token_(other.token_)
        {
        }
        Subscription& operator=(Subscription&& other) noexcept
        {
            std::swap(signal_, other.signal_);
            std::swap(token_, other.token_);
            return *this;
        }
        ~Subscription()
        {
            if (signal_)
                signal_->Unsubscribe(token_);
        }

    private:
        ValueChangeSignal* signal_ = nullptr;
        std::uint64_t token_ = 0;
    };

    // Moves the generation on, then tells every subscriber.
    void Notify();
    std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }
    [[nodiscard]] Subscription Subscribe(Event& event);
    [[nodiscard]] Subscription Subscribe(std::function<void()> changed);

private:
    void Unsubscribe(std::uint64_t token);

    std::atomic<std::uint64_t> generation_{0};
    std::mutex mutex_; // guards subscribers_ and next_
    std::map<std::uint64_t, std::function<void()>> subscribers_;
    std::uint64_t next_ = 1;
};

} // namespace pixtera
