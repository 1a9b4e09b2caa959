#include "sleep_monitor.h"

#include <pixtera/platform/event_log.h>

namespace pixtera {

std::unique_ptr<SleepMonitor> SleepMonitor::Start(Woke woke)
{
    try {
        return std::make_unique<SleepMonitor>(sdbus::createSystemBusConnection(), std::move(woke));
    } catch (const sdbus::Error& error) {
        LogInformation("No system bus (" + error.getMessage() + "): displays are not initialised again after a sleep");
        return nullptr;
    }
}

SleepMonitor::SleepMonitor(std::unique_ptr<sdbus::IConnection> connection, Woke woke)
    : connection_(std::move(connection)),
      logind_(sdbus::createProxy(*connection_, "org.freedesktop.login1", "/org/freedesktop/login1"))
{
    logind_->uponSignal("PrepareForSleep").onInterface("org.freedesktop.login1.Manager").call([woke = std::move(woke)](bool sleeping) {
        if (!sleeping)
            woke();
    });
    logind_->finishRegistration();
    connection_->enterEventLoopAsync();
}

SleepMonitor::~SleepMonitor()
{
    connection_->leaveEventLoop();
    logind_.reset();
}

} // namespace pixtera
