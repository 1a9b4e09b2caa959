// SPDX-License-Identifier: MIT
#include "restart_and_wait.h"

#include "ending_service.h"
#include "service_objects.h"
#include "service_program.h"

#include <pixtera/remote/service_name.h>

#include <sdbus-c++/sdbus-c++.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/wait.h>

#include <thread>

namespace pixtera::designer {
namespace {

constexpr int kPollMs = 50;
constexpr int kKilledLimitMs = 3000;

// The bus daemon's answer about the service's name, on a connection of the restart's own.
class NameWatch {
public:
    NameWatch()
    {
        try {
            connection_ = sdbus::createSessionBusConnection();
        } catch (const sdbus::Error&) {
        }
    }
    std::string Owner() const { return connection_ ? remote::ServiceNameOwner(*connection_) : std::string(); }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
};

void AddNotice(std::string* notice, const std::string& text)
{
    if (notice)
        notice->append(notice->empty() ? "" : "\n\n").append(text);
}

// Waits for the old service to end; kills it when it does not in time.
void AwaitOldService(EndingService& old, const RestartLimits& limits, std::string* notice)
{
    auto ended = [&] { return old.Ended(); };
    if (WaitWhileRunningEvents(ended, kPollMs, limits.oldServiceMs) || !old.Kill())
        return;
    WaitWhileRunningEvents(ended, kPollMs, kKilledLimitMs);
    AddNotice(notice, "The old Pixtera service did not end within " + std::to_string(limits.oldServiceMs / 1000) +
                          " seconds and was killed.");
}

// A service started in a terminal drew its terminal display there; the new one has none.
std::string DetachedNotice(const StartedService& started)
{
    const std::string output =
        started.pid > 0 ? ServiceLogFile().string() : "its journal (journalctl --user -t Pixtera2)";
    return "The Pixtera service was running in a terminal. The new one runs on its own, without that terminal: what "
           "it would draw there (a terminal display) goes to " +
           output + ". To see it in the terminal again, stop the service and start it there.";
}

std::string ExitText(int status)
{
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return std::string("signal ") + strsignal(WTERMSIG(status));
    return "status " + std::to_string(status);
}

} // namespace

bool WaitWhileRunningEvents(const std::function<bool()>& done, int stepMs, int limitMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() >= limitMs)
            return false;
        QEventLoop pause;
        QTimer::singleShot(stepMs, &pause, &QEventLoop::quit);
        pause.exec();
    }
    return true;
}

std::unique_ptr<ServiceObjects> RestartService(const std::filesystem::path& program, EndingService* old,
                                               std::string* failure, std::string* notice, RestartLimits limits)
{
    auto fail = [&](std::string why) -> std::unique_ptr<ServiceObjects> {
        if (failure)
            *failure = std::move(why);
        return nullptr;
    };
    const NameWatch names;
    if (old)
        AwaitOldService(*old, limits, notice);

    // Exactly one service: the one the registration says. Only once it owns the name does the
    // designer connect, so the connection never starts a second one of its own.
    const StartedService started = StartService(program);
    if (!started.ok)
        return fail("Starting the Pixtera service failed: " + program.string() + " could not be run");
    if (old && old->ranInTerminal())
        AddNotice(notice, DetachedNotice(started));
    int status = 0;
    bool ended = false;
    const bool named = WaitWhileRunningEvents(
        [&] {
            if (started.pid > 0 && !ended && waitpid(started.pid, &status, WNOHANG) == started.pid)
                ended = true;
            return ended || !names.Owner().empty();
        },
        kPollMs, limits.newServiceMs);
    if (started.pid > 0 && !ended) // reaped whenever it ends, so it leaves no zombie
        std::thread([pid = started.pid] { waitpid(pid, nullptr, 0); }).detach();
    if (names.Owner().empty()) {
        if (ended) {
            const std::string said = started.pid > 0 ? LastLines(ServiceLogFile(), 5) : std::string();
            return fail("The Pixtera service ended while starting (" + ExitText(status) + ")" +
                        (said.empty() ? "; its log (journalctl --user -t Pixtera2) says why"
                                      : ". The last lines of its log (" + ServiceLogFile().string() + "):\n" + said));
        }
        if (!named)
            return fail("The Pixtera service did not start within " + std::to_string(limits.newServiceMs / 1000) +
                        " seconds");
    }
    try {
        return ServiceObjects::Connect();
    } catch (const ServiceError& error) {
        return fail(error.what());
    }
}

} // namespace pixtera::designer
