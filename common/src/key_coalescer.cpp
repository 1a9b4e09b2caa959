// SPDX-License-Identifier: MIT
#include <pixtera/key_coalescer.h>

#include <algorithm>

namespace pixtera {

KeyCoalescer::KeyCoalescer(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

bool KeyCoalescer::Add(LONG key, LONG action)
{
    if (action != kKeyPressed && action != kKeyRepeated)
        return false;
    if (action == kKeyRepeated && !keys_.empty() && keys_.back().key == key)
        return false;
    if (keys_.size() >= capacity_) {
        ++dropped_;
        return false;
    }
    keys_.push_back({key, action});
    return true;
}

std::optional<MenuKey> KeyCoalescer::Take()
{
    if (keys_.empty())
        return std::nullopt;
    const MenuKey key = keys_.front();
    keys_.pop_front();
    return key;
}

} // namespace pixtera
