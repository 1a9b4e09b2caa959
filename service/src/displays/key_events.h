// SPDX-License-Identifier: MIT
#pragma once
// Keys pressed on the displays, for whoever wants them: the bus (KeyPressed), and later menus or
// a server that hands them to its clients. Drivers' sinks publish from their own threads; each
// subscriber has a queue of its own that it empties when it is woken.
//
// Bounded: a queue holds at most its capacity. A repeat of the key that waits last in it adds
// nothing (the key is still held) and is merged into it; when the queue is full, what arrives is
// dropped, so that the keys that came first, which a menu has to see in order, are kept. The
// first drop of every overflow is logged.

#include <pixtera/platform/com.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace pixtera {

struct KeyPress {
    LONG display = 0; // the managed display's index
    LONG key = 0; // a KeyCode
    LONG action = 0; // a KeyAction

    bool operator==(const KeyPress&) const = default;
};

class KeyQueue {
public:
    // `arrived` runs on the publishing thread after a key was queued: quick, and it must not
    // publish. `name` says whose queue overflowed in the log.
    KeyQueue(std::string name, std::size_t capacity, std::function<void()> arrived);

    // False when the key was dropped; true when queued or merged into the repeat before it.
    bool Push(const KeyPress& press);
    // Everything waiting, oldest first.
    std::vector<KeyPress> Take();
    std::uint64_t dropped() const;

private:
    const std::string name_;
    const std::size_t capacity_;
    const std::function<void()> arrived_;
    mutable std::mutex mutex_; // guards everything below
    std::deque<KeyPress> waiting_;
    std::uint64_t dropped_ = 0;
    bool overflowing_ = false; // since the last drop was logged, nothing was taken
};

class KeyEvents {
public:
    // Keeps one queue subscribed for its lifetime.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(KeyEvents* events, std::uint64_t token) : events_(events), token_(token) {}
        Subscription(Subscription&& other) noexcept
            : events_(std::exchange(other.events_, nullptr)), token_(other.token_)
        {
        }
        Subscription& operator=(Subscription&& other) noexcept
        {
            std::swap(events_, other.events_);
            std::swap(token_, other.token_);
            return *this;
        }
        ~Subscription()
        {
            if (events_)
                events_->Unsubscribe(token_);
        }

    private:
        KeyEvents* events_ = nullptr;
        std::uint64_t token_ = 0;
    };

    [[nodiscard]] Subscription Subscribe(std::shared_ptr<KeyQueue> queue);
    // Any thread: hands the key to every subscriber's queue.
    void Publish(const KeyPress& press);

private:
    void Unsubscribe(std::uint64_t token);

    std::mutex mutex_; // guards queues_ and next_; held while the queues are pushed to
    std::map<std::uint64_t, std::shared_ptr<KeyQueue>> queues_;
    std::uint64_t next_ = 1;
};

} // namespace pixtera
