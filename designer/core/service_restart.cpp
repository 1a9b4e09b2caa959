// SPDX-License-Identifier: MIT
#include "service_restart.h"

#include "service_control.h"
#include "service_session.h"

#include <pixtera/remote/service_name.h>

#include <sdbus-c++/sdbus-c++.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <csignal>
#include <sys/wait.h>

#include <thread>

namespace pixtera::designer {
namespace {

constexpr int kPollMs = 50;
constexpr int kKilledLimitMs = 3000;

// The bus daemon's answers about the service's name, on a connection of the restart's own.
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
    pid_t ProcessOf(const std::string& name) const
    {
        return connection_ ? remote::ConnectionProcess(*connection_, name) : 0;
    }

private:
    std::unique_ptr<sdbus::IConnection> connection_;
};

// Waits for the old service to let go of the name; kills it when it does not in time.
void AwaitOldService(const NameWatch& names, const std::string& oldServer, const RestartLimits& limits,
                     std::string* notice)
{
    if (oldServer.empty())
        return;
    auto released = [&] { return names.Owner() != oldServer; };
    if (WaitWhileRunningEvents(released, kPollMs, limits.oldServiceMs))
        return;
    const pid_t pid = names.ProcessOf(oldServer);
    if (pid > 0)
        kill(pid, SIGKILL);
    WaitWhileRunningEvents(released, kPollMs, kKilledLimitMs);
    if (notice)
        *notice = "The old Pixtera service did not end within " + std::to_string(limits.oldServiceMs / 1000) +
                  " seconds and was killed.";
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

std::unique_ptr<ServiceSession> RestartService(const std::filesystem::path& program, const std::string& oldServer,
                                               std::string* failure, std::string* notice, RestartLimits limits)
{
    auto fail = [&](std::string why) -> std::unique_ptr<ServiceSession> {
        if (failure)
            *failure = std::move(why);
        return nullptr;
    };
    const NameWatch names;
    AwaitOldService(names, oldServer, limits, notice);

    // Exactly one service: the one the registration says. Only once it owns the name does the
    // designer connect, so the connection never starts a second one of its own.
    const StartedService started = StartService(program);
    if (!started.ok)
        return fail("Starting the Pixtera service failed: " + program.string() + " could not be run");
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
        return ServiceSession::Connect();
    } catch (const ServiceError& error) {
        return fail(error.what());
    }
}

} // namespace pixtera::designer
