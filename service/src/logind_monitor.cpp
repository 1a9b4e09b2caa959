// SPDX-License-Identifier: MIT
#include "logind_monitor.h"

#include <pixtera/platform/event_log.h>

#include <unistd.h>

namespace pixtera {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr const char* kSession = "org.freedesktop.login1.Session";
constexpr std::chrono::milliseconds kAnswerTime{2000};

} // namespace

std::unique_ptr<LogindMonitor> LogindMonitor::Start()
{
    try {
        return std::make_unique<LogindMonitor>(sdbus::createSystemBusConnection());
    } catch (const sdbus::Error& error) {
        LogInformation(
            "No system bus (" + error.getMessage() +
            "): displays are not blanked when the session locks or idles, nor initialised again after a sleep");
        return nullptr;
    }
}

LogindMonitor::LogindMonitor(std::unique_ptr<sdbus::IConnection> connection) : connection_(std::move(connection))
{
    manager_ = sdbus::createProxy(*connection_, kLogind, "/org/freedesktop/login1");
    manager_->uponSignal("PrepareForSleep").onInterface(kManager).call([this](bool sleeping) { Sleep(sleeping); });
    manager_->finishRegistration();
    if (const auto path = FindSession()) {
        session_ = sdbus::createProxy(*connection_, kLogind, *path);
        session_->uponSignal("PropertiesChanged")
            .onInterface("org.freedesktop.DBus.Properties")
            .call([this](const std::string& interface, const std::map<std::string, sdbus::Variant>& changed,
                         const std::vector<std::string>&) {
                if (interface == kSession)
                    ApplySession(changed);
            });
        session_->finishRegistration();
        {
            std::lock_guard lock(mutex_);
            hints_ = SessionHints{}; // a session is known, whatever it answers now
        }
        std::map<std::string, sdbus::Variant> properties;
        try {
            session_->callMethod("GetAll")
                .onInterface("org.freedesktop.DBus.Properties")
                .withTimeout(kAnswerTime)
                .withArguments(kSession)
                .storeResultsTo(properties);
        } catch (const sdbus::Error&) {
        }
        ApplySession(properties);
    } else {
        LogInformation("logind knows no session of this user: displays are not blanked when it locks or idles");
    }
    connection_->enterEventLoopAsync();
}

LogindMonitor::~LogindMonitor()
{
    connection_->leaveEventLoop();
    session_.reset();
    manager_.reset();
}

std::optional<std::string> LogindMonitor::FindSession()
{
    // The service's own session when it runs in one, else the user's graphical session (a user
    // unit of systemd runs outside any session).
    try {
        sdbus::ObjectPath path;
        manager_->callMethod("GetSessionByPID")
            .onInterface(kManager)
            .withTimeout(kAnswerTime)
            .withArguments(static_cast<std::uint32_t>(getpid()))
            .storeResultsTo(path);
        return path;
    } catch (const sdbus::Error&) {
    }
    try {
        auto user = sdbus::createProxy(*connection_, kLogind, "/org/freedesktop/login1/user/self");
        sdbus::Variant display;
        user->callMethod("Get")
            .onInterface("org.freedesktop.DBus.Properties")
            .withTimeout(kAnswerTime)
            .withArguments("org.freedesktop.login1.User", "Display")
            .storeResultsTo(display);
        const auto session = display.get<sdbus::Struct<std::string, sdbus::ObjectPath>>();
        if (!std::get<0>(session).empty())
            return std::get<1>(session);
    } catch (const sdbus::Error&) {
    }
    return std::nullopt;
}

void LogindMonitor::ApplySession(const std::map<std::string, sdbus::Variant>& properties)
{
    std::vector<Handlers> handlers;
    SessionHints hints;
    {
        std::lock_guard lock(mutex_);
        hints = hints_.value_or(SessionHints{});
        auto flag = [&](const char* name, bool& field) {
            if (const auto it = properties.find(name); it != properties.end())
                field = it->second.get<bool>();
        };
        flag("LockedHint", hints.locked);
        flag("IdleHint", hints.idle);
        if (const auto it = properties.find("IdleSinceHintMonotonic"); it != properties.end())
            hints.idleSince = it->second.get<std::uint64_t>();
        hints_ = hints;
        handlers = handlers_;
    }
    for (const auto& handler : handlers)
        if (handler.session)
            handler.session(hints);
}

void LogindMonitor::Sleep(bool sleeping)
{
    std::vector<Handlers> handlers;
    {
        std::lock_guard lock(mutex_);
        handlers = handlers_;
    }
    for (const auto& handler : handlers)
        if (handler.sleep)
            handler.sleep(sleeping);
}

void LogindMonitor::Subscribe(Handlers handlers)
{
    std::lock_guard lock(mutex_);
    handlers_.push_back(std::move(handlers));
}

std::optional<SessionHints> LogindMonitor::session() const
{
    std::lock_guard lock(mutex_);
    return hints_;
}

} // namespace pixtera
