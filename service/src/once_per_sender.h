// SPDX-License-Identifier: MIT
#pragma once
// One log line per bus sender: remembers whom it has named. Unique names are never used twice on
// a bus, so a hostile peer could make endless new ones; past `limit` senders nobody new is named.

#include <cstddef>
#include <mutex>
#include <set>
#include <string>

namespace pixtera {

class OncePerSender {
public:
    explicit OncePerSender(std::size_t limit = 32) : limit_(limit) {}

    // True the first time `sender` comes, while fewer than `limit` senders came.
    bool First(const std::string& sender)
    {
        std::lock_guard lock(mutex_);
        if (seen_.size() >= limit_)
            return false;
        return seen_.insert(sender).second;
    }

private:
    const std::size_t limit_;
    std::mutex mutex_; // guards seen_
    std::set<std::string> seen_;
};

} // namespace pixtera
