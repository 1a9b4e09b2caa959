// SPDX-License-Identifier: MIT
#pragma once
// The events menu entries publish (PublishEvent), on their way to the bus, which announces each as
// MenuEvent on the display's object for pixtera-mqtt and scripts. Bounded: at most kMostWaiting
// wait for the bus; one more is refused, and so is every one while the bus does not listen.

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace pixtera {

struct MenuEvent {
    int display = 0; // the managed display's index
    std::string name;

    bool operator==(const MenuEvent&) const = default;
};

class MenuEvents {
public:
    static constexpr std::size_t kMostWaiting = 32;

    // Keeps the listener for its lifetime.
    class Listening {
    public:
        Listening() = default;
        explicit Listening(MenuEvents* events) : events_(events) {}
        Listening(Listening&& other) noexcept : events_(std::exchange(other.events_, nullptr)) {}
        Listening& operator=(Listening&& other) noexcept
        {
            std::swap(events_, other.events_);
            return *this;
        }
        ~Listening()
        {
            if (events_)
                events_->StopListening();
        }

    private:
        MenuEvents* events_ = nullptr;
    };

    // One listener at a time (the bus). `arrived` runs on the publishing thread after an event was
    // queued, under the queue's lock: quick, and it must not publish.
    [[nodiscard]] Listening Listen(std::function<void()> arrived);
    // Any thread: false when nobody listens or kMostWaiting events wait already.
    bool Publish(int display, std::string name);
    // Everything waiting, oldest first.
    std::vector<MenuEvent> Take();

private:
    void StopListening();

    std::mutex mutex_; // guards arrived_ and waiting_
    std::function<void()> arrived_;
    std::deque<MenuEvent> waiting_;
};

} // namespace pixtera
