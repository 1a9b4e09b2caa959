// SPDX-License-Identifier: MIT
#pragma once
// The service's root object: one per process, reached by every client. Its references are the
// module's lock count, so a local server ends when the last client lets go.

#include "data_manager.h"
#include "display_manager.h"
#include "driver_manager.h"
#include "logind_monitor.h"
#include "power_policy.h"
#include "server_lifetime.h"
#include "service_actions.h"
#include "tray_icon.h"

#include <pixtera/service_interfaces.h>

#include <filesystem>

namespace pixtera {

class Manager final : public DispatchNotImplemented<IManager> {
public:
    // Creates the three managers, loads the configuration file and, given a desktop, shows the
    // tray icon.
    Manager(ServerLifetime& lifetime, const std::filesystem::path& configuration, SessionBus* desktop = nullptr);
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;
    ~Manager();

    // IUnknown: the object lives as long as its class factory; references count in the module.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IManager
    HRESULT STDMETHODCALLTYPE GetDriverManager(IDriverManager** drivers) override;
    HRESULT STDMETHODCALLTYPE GetDataManager(IDataManager** data) override;
    HRESULT STDMETHODCALLTYPE LoadConfiguration(BSTR path, VARIANT_BOOL* completed) override;
    HRESULT STDMETHODCALLTYPE Reserved(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Shutdown() override;
    HRESULT STDMETHODCALLTYPE GetDisplayManager(IDisplayManager** displays) override;

    // Blanks the displays by the user's power policy, following logind when there is one.
    void StartPowerPolicy(LogindMonitor* logind);
    // The policy, once started (the bus reloads its settings).
    PowerPolicy* power() { return power_.get(); }

    DriverManager& drivers() { return *drivers_; }
    DataManager& data() { return *data_; }
    DisplayManager& displays() { return *displays_; }
    // What the displays' menus start outside them, and the events they publish for the bus.
    OutsideActions& actions() { return *actions_; }
    MenuEvents& menuEvents() { return menuEvents_; }

private:
    ServerLifetime& lifetime_;
    MenuEvents menuEvents_;
    std::unique_ptr<ServiceActions> actions_; // before the displays, which use it
    ComPtr<DriverManager> drivers_;
    ComPtr<DataManager> data_;
    ComPtr<DisplayManager> displays_;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<PowerPolicy> power_;
};

// How long a menu's command may run.
inline constexpr std::chrono::seconds kMenuCommandDeadline{10};

// The delay between Shutdown and the end of the main loop.
inline constexpr DWORD kShutdownDelayMs = 2000;

} // namespace pixtera
