// SPDX-License-Identifier: MIT
#include <pixtera/value_change_signal.h>

#include <algorithm>

namespace pixtera {

void ValueChangeSignal::Notify()
{
    generation_.fetch_add(1, std::memory_order_acq_rel);
    std::lock_guard lock(mutex_);
    for (const auto& [token, changed] : subscribers_)
        changed();
}

ValueChangeSignal::Subscription ValueChangeSignal::Subscribe(Event& event)
{
    return Subscribe([&event] { event.Set(); });
}

ValueChangeSignal::Subscription ValueChangeSignal::Subscribe(std::function<void()> changed)
{
    std::lock_guard lock(mutex_);
    const std::uint64_t token = next_++;
    subscribers_.emplace(token, std::move(changed));
    return Subscription(this, token);
}

void ValueChangeSignal::Unsubscribe(std::uint64_t token)
{
    std::lock_guard lock(mutex_);
    subscribers_.erase(token);
}

} // namespace pixtera
