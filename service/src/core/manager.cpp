// SPDX-License-Identifier: MIT
#include "manager.h"

#include "configuration_loader.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/module.h>

namespace pixtera {

Manager::Manager(ServerLifetime& lifetime, const std::filesystem::path& configuration, SessionBus* desktop)
    : lifetime_(lifetime),
      actions_(std::make_unique<ServiceActions>(CommandActions::Limits{kMenuCommandDeadline, RunnerBesideProgram()},
                                                LogindActions::Connect(), menuEvents_)),
      drivers_(MakeComObject<DriverManager>()),
      data_(MakeComObject<DataManager>(drivers_)),
      displays_(MakeComObject<DisplayManager>(DisplayRuntime{*data_, SystemClock()}, *actions_))
{
    LoadConfigurationFile(configuration, *drivers_, *data_, *displays_);
    if (desktop) {
        try {
            tray_ = std::make_unique<TrayIcon>(*desktop, ExecutablePath().parent_path(), [this] { Shutdown(); });
        } catch (const sdbus::Error& error) {
            LogWarning("No tray icon: " + error.getMessage());
        }
    }
}

// The displays render with the data manager: their threads end before it goes.
Manager::~Manager()
{
    power_.reset(); // before the displays stop: it may be blanking them
    tray_.reset();
    displays_->StopAll();
    actions_.reset(); // its commands end now, and say so to displays that start nothing any more
}

HRESULT Manager::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_IManager)
        return E_NOINTERFACE;
    *object = static_cast<IManager*>(this);
    AddRef();
    return S_OK;
}

ULONG Manager::AddRef() { return static_cast<ULONG>(lifetime_.Lock()); }

ULONG Manager::Release() { return static_cast<ULONG>(lifetime_.Unlock()); }

HRESULT Manager::GetDriverManager(IDriverManager** drivers)
{
    return ComPtr<IDriverManager>(drivers_.get()).CopyTo(drivers);
}

HRESULT Manager::GetDataManager(IDataManager** data) { return ComPtr<IDataManager>(data_.get()).CopyTo(data); }

HRESULT Manager::GetDisplayManager(IDisplayManager** displays)
{
    return ComPtr<IDisplayManager>(displays_.get()).CopyTo(displays);
}

HRESULT Manager::LoadConfiguration(BSTR path, VARIANT_BOOL* completed)
{
    const bool ran = LoadConfigurationFile(Utf16ToUtf8(BstrView(path)), *drivers_, *data_, *displays_);
    if (completed)
        *completed = ran ? 1 : 0;
    return S_OK;
}

HRESULT Manager::Shutdown()
{
    lifetime_.QuitAfter(kShutdownDelayMs);
    return S_OK;
}

void Manager::StartPowerPolicy(LogindMonitor* logind)
{
    power_ = std::make_unique<PowerPolicy>(*displays_, ReadPowerSettings());
    if (!logind)
        return;
    logind->Subscribe({[this](bool sleeping) { power_->Sleeping(sleeping); },
                       [this](const std::optional<SessionHints>& session) { power_->SessionChanged(session); }});
}

} // namespace pixtera
