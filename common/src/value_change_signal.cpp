#include <pixtera/value_change_signal.h>

#include <algorithm>

namespace pixtera {

void ValueChangeSignal::Notify()
{
    generation_.fetch_add(1, std::memory_order_acq_rel);
    std::lock_guard lock(mutex_);
    for (Event* event : subscribers_)
        event->Set();
}

ValueChangeSignal::Subscription ValueChangeSignal::Subscribe(Event& event)
{
    std::lock_guard lock(mutex_);
    subscribers_.push_back(&event);
    return Subscription(this, &event);
}

void ValueChangeSignal::Unsubscribe(Event* event)
{
    std::lock_guard lock(mutex_);
    std::erase(subscribers_, event);
}

} // namespace pixtera
