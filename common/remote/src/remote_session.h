// SPDX-License-Identifier: MIT
#pragma once
// One client's binding to a running service: its own connection to the session bus, the unique
// name of the server process that answered (so that a reference never moves to a newer server),
// and one counted reference on the server's Manager for as long as any proxy uses the binding.

#include <pixtera/platform/debug_trace.h>
#include <pixtera/platform/hresult.h>
#include <pixtera/remote/bus_wire.h>

#include <sdbus-c++/sdbus-c++.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace pixtera::remote {

class RemoteSession {
public:
    // Connects, binds to the server that owns the service name now and takes a reference.
    static HRESULT Open(std::shared_ptr<RemoteSession>& session);
    RemoteSession(const RemoteSession&) = delete;
    RemoteSession& operator=(const RemoteSession&) = delete;
    ~RemoteSession(); // gives the reference back

    const std::string& server() const { return server_; }

    // Calls a method of an object of the server; the calls of one session are serialised.
    // Failures throw sdbus::Error.
    template <class... Results, class... Arguments>
    void Call(const std::string& path, const char* interface, const char* method, std::tuple<Results&...> results,
              const Arguments&... arguments)
    {
        Trace(TraceChannel::Bus, [&] { return "call " + path + " " + interface + "." + method; });
        std::lock_guard lock(mutex_);
        auto& proxy = ProxyFor(path);
        auto call = proxy.createMethodCall(interface, method);
        if constexpr (sizeof...(Arguments) > 0)
            (call << ... << arguments);
        auto reply = proxy.callMethod(call, CallTimeoutUs());
        if constexpr (sizeof...(Results) > 0)
            std::apply([&](auto&... out) { (reply >> ... >> out); }, results);
    }

private:
    // By default long enough for a configuration load or a display's stop; a program with a
    // window shortens it (SetRemoteCallTimeout).
    static uint64_t CallTimeoutUs();

    RemoteSession() = default;
    sdbus::IProxy& ProxyFor(const std::string& path);

    std::mutex mutex_; // guards connection_ and proxies_: the calls of one session
    std::unique_ptr<sdbus::IConnection> connection_;
    std::string server_;
    std::map<std::string, std::unique_ptr<sdbus::IProxy>> proxies_;
    bool referenced_ = false;
};

// The reason that came with this thread's last failed remote call, as COM keeps error info per
// thread.
void KeepLastReason(std::string reason);

// Runs a remote call, turning a bus error into its HRESULT.
template <class Body>
HRESULT Remote(Body body)
{
    try {
        body();
        return S_OK;
    } catch (const sdbus::Error& error) {
        Trace(TraceChannel::Bus, [&] { return "call failed: " + error.getName() + ": " + error.getMessage(); });
        KeepLastReason(wire::ReasonOf(error));
        return wire::HresultOf(error);
    }
}

} // namespace pixtera::remote
