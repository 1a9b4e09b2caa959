#pragma once
// The machine waking from sleep, from logind's PrepareForSleep(false) on the system bus. The
// connection has a thread of its own.

#include <sdbus-c++/sdbus-c++.h>

#include <functional>
#include <memory>

namespace pixtera {

class SleepMonitor {
public:
    // Called on the monitor's thread.
    using Woke = std::function<void()>;

    // Nothing when there is no system bus (said in the log): modules are then not initialised
    // again after a sleep unless they are replugged.
    static std::unique_ptr<SleepMonitor> Start(Woke woke);

    SleepMonitor(std::unique_ptr<sdbus::IConnection> connection, Woke woke);
    SleepMonitor(const SleepMonitor&) = delete;
    SleepMonitor& operator=(const SleepMonitor&) = delete;
    ~SleepMonitor();

private:
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IProxy> logind_;
};

} // namespace pixtera
