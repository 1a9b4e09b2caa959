// SPDX-License-Identifier: MIT
#pragma once
// What a subscriber of the logind monitor was told, in order (it is told on the monitor's thread).

#include "logind_monitor.h"

#include <mutex>
#include <optional>
#include <vector>

namespace pixtera::test {

class LogindEvents {
public:
    LogindMonitor::Handlers Handlers()
    {
        return {[this](bool sleeping) {
                    std::lock_guard lock(mutex_);
                    sleeps_.push_back(sleeping);
                },
                [this](const std::optional<SessionHints>& session) {
                    std::lock_guard lock(mutex_);
                    sessions_.push_back(session);
                }};
    }

    std::vector<bool> sleeps() const
    {
        std::lock_guard lock(mutex_);
        return sleeps_;
    }
    std::size_t sessionCalls() const
    {
        std::lock_guard lock(mutex_);
        return sessions_.size();
    }
    // The session as last told; nothing before the first call, or when the user has none.
    std::optional<SessionHints> session() const
    {
        std::lock_guard lock(mutex_);
        return sessions_.empty() ? std::nullopt : sessions_.back();
    }
    bool locked() const
    {
        const auto last = session();
        return last && last->locked;
    }

private:
    mutable std::mutex mutex_; // guards sleeps_ and sessions_
    std::vector<bool> sleeps_;
    std::vector<std::optional<SessionHints>> sessions_;
};

} // namespace pixtera::test
