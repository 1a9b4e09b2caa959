// SPDX-License-Identifier: MIT
#pragma once
// The user's power policy at work: every display is blanked (blank frame, backlight off, nothing
// rendered) while DecidePower says so, and comes back on the opposite event. Events arrive from
// logind's thread; a thread of the policy's own waits for them and for the next moment the
// answer may change by time alone (an idle threshold, an hour of the window), and sleeps
// otherwise.

#include "display_manager.h"
#include "power_decision.h"

#include <pixtera/platform/thread.h>

#include <condition_variable>
#include <mutex>

namespace pixtera {

class PowerPolicy {
public:
    PowerPolicy(DisplayManager& displays, PowerSettings settings);
    PowerPolicy(const PowerPolicy&) = delete;
    PowerPolicy& operator=(const PowerPolicy&) = delete;
    ~PowerPolicy();

    void SessionChanged(const std::optional<SessionHints>& session);
    void Sleeping(bool sleeping);
    void Reload(PowerSettings settings);
    bool blanked() const;

private:
    void Run();

    DisplayManager& displays_;
    mutable std::mutex mutex_; // guards everything below but the thread
    std::condition_variable changed_;
    PowerSettings settings_;
    PowerState state_;
    bool dirty_ = true;
    bool stopping_ = false;
    bool blanked_ = false;
    Thread thread_;
};

} // namespace pixtera
