// SPDX-License-Identifier: MIT
#include <pixtera/bus/once_per_sender.h>

namespace pixtera::bus {

OncePerSender::Verdict OncePerSender::Note(std::string_view sender)
{
    std::lock_guard lock(mutex_);
    if (senders_.find(sender) != senders_.end())
        return Verdict::Silence;
    if (senders_.size() < capacity_) {
        senders_.emplace(sender);
        return Verdict::Name;
    }
    if (full_)
        return Verdict::Silence;
    full_ = true;
    return Verdict::FullNow;
}

} // namespace pixtera::bus
