// SPDX-License-Identifier: MIT
#include "service_module.h"

#include "resident_code.h"

#include "bus_server.h"
#include "command_line.h"
#include "desktop_notifier.h"
#include "hardware_events.h"
#include "logind_monitor.h"
#include "manager.h"
#include "open_file_limit.h"
#include "service_registration.h"
#include "session_bus.h"
#include "singleton_factory.h"
#include "statistics_ping.h"
#include "systemd_unit.h"
#include "user_linger.h"

#include <pixtera/sdk/guids.h>

#include <pixtera/configuration_file.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/message_box.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/named_mutex.h>
#include <pixtera/platform/registry.h>
#include <pixtera/platform/thread.h>

#include <cstdio>
#include <iostream>

namespace pixtera {
namespace {

constexpr DWORD kControlStop = 1;
constexpr DWORD kControlShutdown = 5;
constexpr std::size_t kLogEventLength = 256;

const char* kVersionText = "pixtera2 " PIXTERA_VERSION "\n";
const char* kHelpText = "usage: pixtera2               run the service (as a local server, or under systemd)\n"
                        "       pixtera2 -RegServer    register as a local server\n"
                        "       pixtera2 -Service      register as a systemd user service\n"
                        "       pixtera2 -UnregServer  remove every registration\n"
                        "       pixtera2 -RegMachine, -UnregMachine  (un)register the local server for every user\n"
                        "                              in the machine layer (what packages run)\n"
                        "       pixtera2 --help, -h, /?  this text;  pixtera2 --version\n"
                        "Switches may start with '-' or '/', in any letter case, and must end the command line.\n"
                        "SIGTERM, SIGINT and SIGHUP stop the service cleanly.\n";

// An unregistered program ends with the registry's code (2, file not found) and says what to
// run; any other registry failure is explained. Exit codes only hold 8 bits.
int RegistryFailureExitCode(LSTATUS status)
{
    if (status == ERROR_FILE_NOT_FOUND)
        std::cerr << "pixtera2: not registered in " << RegistryPath().string()
                  << "; run 'pixtera2 -RegServer' (or '-Service' to start with the session) first\n";
    else
        std::cerr << "pixtera2: cannot read the registry " << RegistryPath().string() << " (error " << status << ")\n";
    return status > 0 && status < 256 ? status : 1;
}

bool AsksForHelp(std::string_view argument)
{
    return argument == "--help" || argument == "-h" || argument == "/?" || argument == "-?";
}

} // namespace

ServiceModule::ServiceModule() : program_(ExecutablePath())
{
    // Every process of the program pings when the statistics are switched on, registration runs
    // included.
    StartStatisticsPing();
}

int ServiceModule::Main(int argc, const char* const* argv)
{
    MainLoop::BlockStopSignals();
    HRESULT result = S_OK;
    switch (ScanCommandLine(JoinCommandLine(argc, argv))) {
    case ServiceSwitch::UnregServer: result = UnregisterServer(); break;
    case ServiceSwitch::RegServer: result = RegisterServer(false); break;
    case ServiceSwitch::Service: result = RegisterServer(true); break;
    case ServiceSwitch::RegMachine:
    case ServiceSwitch::UnregMachine:
        if (!MachineRegistryPath()) {
            std::cerr << "pixtera2: there is no machine layer (PIXTERA_MACHINE_REGISTRY is empty)\n";
            return 1;
        }
        UseMachineRegistry();
        result = RegisterMachineServer(ScanCommandLine(JoinCommandLine(argc, argv)) == ServiceSwitch::RegMachine);
        break;
    case ServiceSwitch::None:
        if (argc == 2 && AsksForHelp(argv[1])) {
            std::cout << kHelpText;
            return 0;
        }
        if (argc == 2 && std::string_view(argv[1]) == "--version") {
            std::cout << kVersionText;
            return 0;
        }
        startedForClients_ = argc == 2 && IsEmbeddingSwitch(argv[1]);
        if (argc > 1 && !startedForClients_)
            std::cerr << "pixtera2: ignoring the arguments; see pixtera2 --help\n";
        return StartServer();
    }
    if (FAILED(result)) {
        std::cerr << "pixtera2: registration failed: " << HresultText(result) << "\n";
        return 1;
    }
    return 0;
}

int ServiceModule::StartServer()
{
    NamedMutex instance("PixteraService");
    if (instance.alreadyExists()) {
        // A client's start beside a running server has nothing to do; systemd must learn why its
        // unit did not start, or it would wait for a readiness that never comes.
        if (!StartedByServiceManager())
            return 0;
        std::cerr << "pixtera2: another pixtera2 already runs for this user\n";
        ReportServiceEnd("another pixtera2 already runs for this user");
        return kAnotherInstanceRuns;
    }
    if (instance.status() == NamedMutex::Status::Failed) {
        std::cerr << "pixtera2: cannot take the single-instance lock: " << instance.error() << "\n";
        return 1;
    }
    RaiseOpenFileLimit();
    RegKey appIds;
    RegKey appId;
    LSTATUS status = appIds.Open(HKEY_CLASSES_ROOT, "AppID");
    if (status == ERROR_SUCCESS)
        status = appId.Open(appIds.get(), FormatGuid(APPID_Pixtera2));
    if (status != ERROR_SUCCESS)
        return RegistryFailureExitCode(status);
    Start();
    return static_cast<int>(exitCode_);
}

void ServiceModule::Start()
{
    // Run by systemd it is the service, whatever the registration says (a package's unit may run
    // it before any -Service); started by hand or by a client, it is a local server.
    if (StartedByServiceManager()) {
        serviceMode_ = true;
        ServiceMain();
        return;
    }
    serviceMode_ = false;
    Run();
}

void ServiceModule::ServiceMain()
{
    SetLogSink(LogSink::Syslog);
    state_ = ServiceState::StartPending;
    SetStatus(ServiceState::StartPending);
    exitCode_ = 0;
    Run();
    SetStatus(ServiceState::Stopped);
}

void ServiceModule::Run()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The desktop: notifications for the service's messages, and the tray icon.
    std::unique_ptr<SessionBus> desktop = SessionBus::Connect();
    std::unique_ptr<DesktopNotifier> notifier = DesktopNotifier::Connect();
    if (notifier) {
        SetMessageBoxHook([&notifier](std::string_view text, std::string_view caption, UINT type) {
            notifier->Notify(text, caption, type);
            return IDOK;
        });
    }
    const auto configuration = ConfigFilePath(program_.parent_path());
    LogEvent("pixtera2 " PIXTERA_VERSION " starting, configuration " + configuration.string());
    auto factory = MakeComObject<SingletonFactory<Manager>>(
        [&] { return std::make_unique<Manager>(*this, configuration, desktop.get()); });
    DWORD cookie = 0;
    CoRegisterClassObject(CLSID_Manager, factory->AsUnknown(), CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                          REGCLS_MULTIPLEUSE, &cookie);
    // Other processes reach the Manager through the session bus.
    std::unique_ptr<BusServer> bus;
    if (Manager* manager = factory->object()) {
        try {
            bus = std::make_unique<BusServer>(*manager);
        } catch (const sdbus::Error& error) {
            LogEvent("No session bus (" + error.getMessage() + "): the remote interface and the tray are unavailable");
        }
    }
    // Modules plugged in later, modules that lost power while the machine slept, and displays
    // dark while the session is locked or idle, at night or asleep.
    std::unique_ptr<HardwareEvents> hardware;
    std::unique_ptr<LogindMonitor> logind = LogindMonitor::Start();
    if (Manager* manager = factory->object()) {
        hardware = std::make_unique<HardwareEvents>(manager->drivers());
        manager->StartPowerPolicy(logind.get());
        if (logind)
            logind->Subscribe({[&hardware](bool sleeping) {
                                   if (!sleeping)
                                       hardware->Resumed();
                               },
                               nullptr});
    }
    factory.Reset();
    ReleaseResidentCode();
    LogEvent("Service started");
    if (serviceMode_)
        SetStatus(ServiceState::Running);
    loop_.Run([this](int signal) { OnStopSignal(signal); });
    logind.reset(); // no event comes after this
    hardware.reset();
    bus.reset(); // gives the name back
    if (desktop)
        desktop->Stop(); // no tray callback may run while the icon goes
    CoRevokeClassObject(cookie); // destroys the Manager, and the tray icon with it
    SetMessageBoxHook(nullptr);
    notifier.reset();
    desktop.reset();
    CoUninitialize();
    LogEvent("Service stopped");
}

void ServiceModule::OnStopSignal(int)
{
    if (serviceMode_)
        ServiceHandler(kControlStop);
    else
        loop_.PostQuit();
}

void ServiceModule::ServiceHandler(DWORD control)
{
    switch (control) {
    case kControlStop:
        SetStatus(ServiceState::StopPending);
        loop_.PostQuit();
        break;
    case 2: // pause
    case 3: // continue
    case 4: // interrogate
    case kControlShutdown: break;
    default: LogEvent("Bad service request"); break;
    }
}

void ServiceModule::SetStatus(ServiceState state)
{
    state_ = state;
    ReportServiceState(state);
}

void ServiceModule::LogEvent(std::string_view message) const { LogInformation(message.substr(0, kLogEventLength)); }

LONG ServiceModule::Lock() { return ++lockCount_; }

LONG ServiceModule::Unlock()
{
    const LONG left = --lockCount_;
    if (left == 0 && !serviceMode_ && startedForClients_)
        loop_.PostQuit();
    return left;
}

void ServiceModule::QuitAfter(DWORD milliseconds)
{
    Thread(kSmallThreadStack, [this, milliseconds] {
        NameThisThread("px-quit");
        Sleep(milliseconds);
        loop_.PostQuit();
    }).detach();
}

void ServiceModule::ShowError(const char* text) const
{
    MessageBoxA(nullptr, text, kServiceName, MB_OK | MB_ICONERROR);
}

bool ServiceModule::IsServiceInstalled() const { return SystemdUserUnit(program_).IsInstalled(); }

bool ServiceModule::InstallService()
{
    if (IsServiceInstalled())
        return true;
    switch (SystemdUserUnit(program_).Install()) {
    case SystemdUserUnit::Outcome::Done: return true;
    case SystemdUserUnit::Outcome::NoUnitDirectory: ShowError("Couldn't open service manager"); return false;
    case SystemdUserUnit::Outcome::CannotWrite: ShowError("Couldn't create service"); return false;
    }
    return false;
}

bool ServiceModule::UninstallService()
{
    if (!IsServiceInstalled())
        return true;
    if (SystemdUserUnit(program_).Uninstall() != SystemdUserUnit::Outcome::Done) {
        ShowError("Service could not be deleted");
        return false;
    }
    return true;
}

HRESULT ServiceModule::RegisterServer(bool service)
{
    if (HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(hr))
        return hr;
    UninstallService();
    const auto substitutions = ServiceSubstitutions(program_);
    if (HRESULT hr = RegisterScript(AppIdScript(), substitutions); FAILED(hr))
        return hr;
    RegKey appId;
    if (LSTATUS status = appId.Open(HKEY_CLASSES_ROOT, AppIdKey(), KEY_ALL_ACCESS); status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    appId.DeleteValue("LocalService");
    appId.DeleteValue("ServiceParameters");
    bool installed = true;
    if (service) {
        appId.SetString("LocalService", kServiceName);
        appId.SetString("ServiceParameters", "-Service");
        installed = InstallService();
        // The unit starts with the user's service manager, which without lingering waits for a login.
        if (installed) {
            if (const std::string hint = LingerHint(EnableLingering()); !hint.empty()) {
                std::cerr << "pixtera2: " << hint << "\n";
                LogWarning(hint);
            }
        }
        if (!installed) {
            // Registered as a local server after all: no value may claim a service that is not there.
            appId.DeleteValue("LocalService");
            appId.DeleteValue("ServiceParameters");
        }
    }
    HRESULT hr = RegisterScript(ManagerClassScript(), substitutions);
    if (SUCCEEDED(hr) && !DBusActivationFile::Write(program_, service && installed)) {
        std::cerr << "pixtera2: cannot write " << DBusActivationFile::Path().string() << "\n";
        hr = HRESULT_FROM_WIN32(ERROR_CANTWRITE);
    }
    CoUninitialize();
    if (SUCCEEDED(hr) && !installed)
        return HRESULT_FROM_WIN32(ERROR_CANTWRITE);
    return hr;
}

HRESULT ServiceModule::RegisterMachineServer(bool add)
{
    // Only the registry: the package installs the bus activation file and the user unit itself.
    if (HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(hr))
        return hr;
    const auto substitutions = ServiceSubstitutions(program_);
    HRESULT hr = S_OK;
    if (add) {
        hr = RegisterScript(AppIdScript(), substitutions);
        if (SUCCEEDED(hr))
            hr = RegisterScript(ManagerClassScript(), substitutions);
    } else {
        UnregisterScript(AppIdScript(), substitutions);
        UnregisterScript(ManagerClassScript(), substitutions);
    }
    CoUninitialize();
    return hr;
}

HRESULT ServiceModule::UnregisterServer()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const auto substitutions = ServiceSubstitutions(program_);
    UnregisterScript(AppIdScript(), substitutions);
    UninstallService();
    UnregisterScript(ManagerClassScript(), substitutions);
    DBusActivationFile::Remove();
    CoUninitialize();
    return S_OK;
}

} // namespace pixtera
