// SPDX-License-Identifier: MIT
#pragma once
// Which senders the log has named already, so that a program sending the same bad message again
// and again is named once. Every new connection has a new name, so the set is bounded: once it is
// full, one last line says so and later senders go unnamed.

#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace pixtera::bus {

class OncePerSender {
public:
    enum class Verdict {
        Name, // the first time for this sender: say it
        FullNow, // a new sender, and no room for it: say once that senders are no longer named
        Silence, // said before, or the set was full already
    };

    explicit OncePerSender(std::size_t capacity) : capacity_(capacity) {}

    Verdict Note(std::string_view sender);

private:
    const std::size_t capacity_;
    std::mutex mutex_; // guards senders_ and full_
    std::set<std::string, std::less<>> senders_;
    bool full_ = false;
};

} // namespace pixtera::bus
