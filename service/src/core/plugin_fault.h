// SPDX-License-Identifier: MIT
#pragma once
// The fault guard of one plug-in object. Every call into the plug-in, from any thread, runs
// through it: the first exception that escapes the plug-in, or the failure of its host process
// (E_PLUGIN_HOST_FAILED, for plug-ins hosted in a process of their own), is reported to the user,
// and from then on the plug-in is not called again (but for what defines a hosted plug-in, which
// its wrapper keeps for the next host: GuardDefinition).
//
// A hosted plug-in comes back: its wrapper starts a new host and creates it again. The guard
// learns of that from the wrapper's IPluginHost when the plug-in is next about to be used (a
// host generation newer than the one that failed), and lets it in again.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/plugin_host.h>

#include <atomic>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace pixtera {

class PluginFault {
public:
    // `name` is the plug-in's ProgID, for the report.
    explicit PluginFault(std::string name) : name_(std::move(name)) {}

    // For a hosted plug-in, before the guard is shared: where its recovery shows.
    void SetHost(ComPtr<IPluginHost> host);
    // True when a failure may end: the plug-in is hosted.
    bool mayRecover() const { return static_cast<bool>(host_); }

    // False again once a failed hosted plug-in is back.
    bool failed() const;
    const std::string& name() const { return name_; }

    // Marks the plug-in failed; the first time of each failure, tells the user.
    void Report();

    // A call's result: its host failing is a fault like an exception. False for that.
    bool Observe(HRESULT hr)
    {
        if (hr != E_PLUGIN_HOST_FAILED)
            return true;
        Report();
        return false;
    }

    // Runs the call unless the plug-in failed before; false when it was not run, threw or (for
    // calls that return an HRESULT) its host failed.
    template <class Call>
    bool Guard(Call&& call) noexcept
    {
        if (failed())
            return false;
        try {
            if constexpr (std::is_same_v<std::invoke_result_t<Call>, HRESULT>)
                return Observe(call());
            else
                call();
            return true;
        } catch (...) {
            Report();
            return false;
        }
    }

    // Like Guard, for a call that defines what the plug-in is (its user characters, say): a hosted
    // plug-in is handed it even while it is failed, since its wrapper keeps every such call for
    // the next host. A failure in the middle of a set-up then leaves no part of it out.
    template <class Call>
    bool GuardDefinition(Call&& call) noexcept
    {
        if (!mayRecover() || !failed())
            return Guard(std::forward<Call>(call));
        try {
            return Observe(call());
        } catch (...) {
            Report();
            return false;
        }
    }

    // Like Guard, for a question a hosted plug-in's wrapper answers itself while the host is down
    // (whether the module is linked: not, since the host was lost).
    template <class Call>
    bool GuardAskingHost(Call&& call) noexcept
    {
        return GuardDefinition(std::forward<Call>(call));
    }

private:
    std::optional<LONG> HostGeneration() const;

    const std::string name_;
    ComPtr<IPluginHost> host_;
    mutable std::atomic<bool> failed_{false};
    mutable std::atomic<LONG> knownGeneration_{0}; // of the host that works, or last worked
};

} // namespace pixtera
