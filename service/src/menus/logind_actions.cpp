// SPDX-License-Identifier: MIT
#include "logind_actions.h"

#include <pixtera/platform/event_log.h>

#include <map>

namespace pixtera {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
// logind's name for the caller's session, or the user's display session when the caller is in
// none (the service as a user unit of systemd).
constexpr const char* kAutoSession = "auto";

} // namespace

std::string LogindRefusal(const std::string& errorName)
{
    static const std::map<std::string, std::string> kReasons = {
        {"org.freedesktop.DBus.Error.AccessDenied", "Not allowed"},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", "Needs authorization"},
        {"org.freedesktop.DBus.Error.NoReply", "logind: no answer"},
        {"org.freedesktop.DBus.Error.Timeout", "logind: no answer"},
        {"org.freedesktop.DBus.Error.ServiceUnknown", "No logind"},
        {"org.freedesktop.DBus.Error.NameHasNoOwner", "No logind"},
        {"org.freedesktop.DBus.Error.UnknownMethod", "logind cannot do it"},
        {"org.freedesktop.DBus.Error.NotSupported", "Not supported"},
        {"org.freedesktop.login1.NoSuchSession", "No session"},
        {"org.freedesktop.login1.NoSessionForPID", "No session"},
        {"org.freedesktop.login1.OperationInProgress", "Already in progress"},
        {"org.freedesktop.login1.ShutdownScheduled", "Shutdown scheduled"},
        {"org.freedesktop.login1.SleepVerbNotSupported", "Not supported"},
    };
    const auto reason = kReasons.find(errorName);
    return reason != kReasons.end() ? reason->second : "Refused by logind";
}

std::unique_ptr<LogindActions> LogindActions::Connect()
{
    try {
        return std::make_unique<LogindActions>(sdbus::createSystemBusConnection());
    } catch (const sdbus::Error& error) {
        LogInformation("No system bus (" + error.getMessage() +
                       "): menus cannot lock the session, suspend, power off or reboot");
        return std::make_unique<LogindActions>(nullptr);
    }
}

LogindActions::LogindActions(std::unique_ptr<sdbus::IConnection> connection) : connection_(std::move(connection))
{
    if (!connection_)
        return;
    manager_ = sdbus::createProxy(*connection_, kLogind, kManagerPath);
    connection_->enterEventLoopAsync();
}

LogindActions::~LogindActions()
{
    if (connection_)
        connection_->leaveEventLoop();
}

void LogindActions::Start(MenuActionKind kind, ActionFinished finished)
{
    if (!manager_) {
        finished("No system bus");
        return;
    }
    const std::string_view name = MenuActionName(kind);
    try {
        sdbus::MethodCall call;
        switch (kind) {
        case MenuActionKind::Lock:
            call = manager_->createMethodCall(kManager, "LockSession");
            call << std::string(kAutoSession);
            break;
        case MenuActionKind::Suspend:
        case MenuActionKind::PowerOff:
        case MenuActionKind::Reboot:
            call = manager_->createMethodCall(kManager, std::string(name));
            call << true; // interactive: polkit may ask the user
            break;
        default: finished("Not logind's"); return;
        }
        manager_->callMethod(
            call,
            guard_.OnReply(std::string(name),
                           [name = std::string(name), finished](sdbus::MethodReply&, const sdbus::Error* error) {
                               if (!error) {
                                   finished({});
                                   return;
                               }
                               LogWarning("Menus: logind refused " + name + ": " + error->getName() + " (" +
                                          error->getMessage() + ")");
                               finished(LogindRefusal(error->getName()));
                           }),
            kAnswerTime);
    } catch (const sdbus::Error& error) {
        LogWarning("Menus: " + std::string(name) + " could not be asked of logind: " + error.getMessage());
        finished(LogindRefusal(error.getName()));
    }
}

} // namespace pixtera
