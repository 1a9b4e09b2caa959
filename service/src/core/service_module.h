// SPDX-License-Identifier: MIT
#pragma once
// The service process: command line, registration, single instance, service or local-server
// mode, the main loop in which everything runs, and the lock count that ends a local server.

#include "main_loop.h"
#include "server_lifetime.h"
#include "service_status.h"

#include <pixtera/platform/hresult.h>

#include <atomic>
#include <filesystem>
#include <string_view>

namespace pixtera {

class ServiceModule final : public ServerLifetime {
public:
    ServiceModule();

    // The process entry after static initialisation; returns the exit code.
    int Main(int argc, const char* const* argv);

    HRESULT RegisterServer(bool service);
    HRESULT UnregisterServer();
    // The local server's keys in the machine layer, for every user.
    HRESULT RegisterMachineServer(bool add);
    bool InstallService();
    bool UninstallService();
    bool IsServiceInstalled() const;

    void ServiceHandler(DWORD control);
    void LogEvent(std::string_view message) const;

    // ServerLifetime
    LONG Lock() override;
    LONG Unlock() override;
    void QuitAfter(DWORD milliseconds) override;

private:
    int StartServer();
    void Start();
    void ServiceMain();
    void Run();
    void SetStatus(ServiceState state);
    void OnStopSignal(int signal);
    // Shows an installation error: standard error, the log, and the message hook.
    void ShowError(const char* text) const;

    std::filesystem::path program_;
    bool serviceMode_ = true;
    bool startedForClients_ = false; // started by activation: ends with its last client
    ServiceState state_ = ServiceState::Stopped;
    DWORD exitCode_ = 0;
    std::atomic<LONG> lockCount_{0};
    MainLoop loop_;
};

} // namespace pixtera
