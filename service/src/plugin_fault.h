#pragma once
// The fault guard of one plug-in object. Every call into the plug-in, from any thread, runs
// through it: the first exception that escapes the plug-in is reported to the user, and from then
// on the plug-in is not called again.

#include <atomic>
#include <memory>
#include <string>

namespace pixtera {

class PluginFault {
public:
    // `name` is the plug-in's ProgID, for the report.
    explicit PluginFault(std::string name) : name_(std::move(name)) {}

    bool failed() const { return failed_.load(std::memory_order_acquire); }
    const std::string& name() const { return name_; }

    // Marks the plug-in failed; the first time, tells the user.
    void Report();

    // Runs the call unless the plug-in failed before; false when it was not run or threw.
    template <class Call>
    bool Guard(Call&& call) noexcept
    {
        if (failed())
            return false;
        try {
            call();
            return true;
        } catch (...) {
            Report();
            return false;
        }
    }

private:
    const std::string name_;
    std::atomic<bool> failed_{false};
};

} // namespace pixtera
