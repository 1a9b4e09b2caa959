// SPDX-License-Identifier: MIT
#include "key_events.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/display_input.h>

namespace pixtera {

KeyQueue::KeyQueue(std::string name, std::size_t capacity, std::function<void()> arrived)
    : name_(std::move(name)), capacity_(capacity), arrived_(std::move(arrived))
{
}

bool KeyQueue::Push(const KeyPress& press)
{
    {
        std::lock_guard lock(mutex_);
        if (press.action == kKeyRepeated && !waiting_.empty()) {
            const KeyPress& last = waiting_.back();
            if (last.display == press.display && last.key == press.key && last.action != kKeyReleased)
                return true;
        }
        if (waiting_.size() >= capacity_) {
            ++dropped_;
            if (!overflowing_)
                LogWarning("Keys arrive faster than " + name_ + " takes them: more than " + std::to_string(capacity_) +
                           " wait, and the keys that come now are dropped until it catches up");
            overflowing_ = true;
            return false;
        }
        waiting_.push_back(press);
    }
    if (arrived_)
        arrived_();
    return true;
}

std::vector<KeyPress> KeyQueue::Take()
{
    std::lock_guard lock(mutex_);
    std::vector<KeyPress> taken(waiting_.begin(), waiting_.end());
    waiting_.clear();
    overflowing_ = false;
    return taken;
}

std::uint64_t KeyQueue::dropped() const
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

KeyEvents::Subscription KeyEvents::Subscribe(std::shared_ptr<KeyQueue> queue)
{
    std::lock_guard lock(mutex_);
    const std::uint64_t token = next_++;
    queues_.emplace(token, std::move(queue));
    return Subscription(this, token);
}

void KeyEvents::Unsubscribe(std::uint64_t token)
{
    std::lock_guard lock(mutex_);
    queues_.erase(token);
}

void KeyEvents::Publish(const KeyPress& press)
{
    std::lock_guard lock(mutex_);
    for (const auto& [token, queue] : queues_)
        queue->Push(press);
}

} // namespace pixtera
