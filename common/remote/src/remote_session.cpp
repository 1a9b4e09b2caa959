// SPDX-License-Identifier: MIT
#include "remote_session.h"

#include "server_launcher.h"

#include <pixtera/remote/activation.h>
#include <pixtera/remote/bus_names.h>

#include <atomic>
#include <utility>

namespace pixtera::remote {
namespace {

// Set once by a program at start; read by every call.
std::atomic<uint64_t> callTimeoutUs{120'000'000};

// What came with this thread's last failed call.
thread_local std::string lastReason;

} // namespace

void KeepLastReason(std::string reason) { lastReason = std::move(reason); }

uint64_t RemoteSession::CallTimeoutUs() { return callTimeoutUs.load(std::memory_order_relaxed); }

HRESULT RemoteSession::Open(std::shared_ptr<RemoteSession>& session)
{
    session.reset();
    std::shared_ptr<RemoteSession> opened(new RemoteSession());
    try {
        opened->connection_ = sdbus::createSessionBusConnection();
    } catch (const sdbus::Error&) {
        return CO_E_SERVER_EXEC_FAILURE; // no session bus: no server can be reached
    }
    if (HRESULT hr = EnsureServerRunning(*opened->connection_, opened->server_); FAILED(hr))
        return hr;
    const HRESULT hr = Remote([&] {
        uint32_t count = 0;
        opened->Call(bus::kManagerPath, bus::kLifetime, "AddRef", std::tie(count));
    });
    if (FAILED(hr))
        return hr;
    opened->referenced_ = true;
    session = std::move(opened);
    return S_OK;
}

RemoteSession::~RemoteSession()
{
    if (!referenced_)
        return;
    // A server that has gone has forgotten the reference already.
    Remote([&] {
        uint32_t count = 0;
        Call(bus::kManagerPath, bus::kLifetime, "Release", std::tie(count));
    });
}

sdbus::IProxy& RemoteSession::ProxyFor(const std::string& path)
{
    auto& proxy = proxies_[path];
    if (!proxy)
        proxy = sdbus::createProxy(*connection_, server_, path);
    return *proxy;
}

} // namespace pixtera::remote

namespace pixtera {

std::string TakeRemoteErrorReason() { return std::exchange(remote::lastReason, {}); }

void SetRemoteCallTimeout(std::chrono::milliseconds timeout)
{
    remote::callTimeoutUs.store(static_cast<uint64_t>(timeout.count()) * 1000, std::memory_order_relaxed);
}

} // namespace pixtera
