// SPDX-License-Identifier: MIT
#include "ending_service.h"

#include <pixtera/remote/service_name.h>

#include <sdbus-c++/sdbus-c++.h>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>

namespace pixtera::designer {
namespace {

// Through syscall(): Debian 12's <sys/pidfd.h> declares these without C linkage.
int OpenProcess(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }
bool SendKill(int process) { return syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0) == 0; }

// Field 7 of /proc/PID/stat, after the command name in parentheses (which may hold anything).
bool HasControllingTerminal(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const auto end = stat.rfind(')');
    if (end == std::string::npos)
        return false;
    std::istringstream fields(stat.substr(end + 1));
    std::string state;
    long parent = 0;
    long group = 0;
    long session = 0;
    long terminal = 0;
    return (fields >> state >> parent >> group >> session >> terminal) && terminal != 0;
}

} // namespace

EndingService::EndingService(std::string server) : server_(std::move(server))
{
    if (server_.empty())
        return;
    try {
        connection_ = sdbus::createSessionBusConnection();
    } catch (const sdbus::Error&) {
        return; // no bus: nothing to follow
    }
    if (NameReleased())
        return;
    const pid_t pid = remote::ConnectionProcess(*connection_, server_);
    if (pid <= 0)
        return;
    UniqueFd process(OpenProcess(pid));
    // Still the name's owner after the pidfd was taken: the pid was that service's, not a reuse.
    if (!process || NameReleased())
        return;
    process_ = std::move(process);
    ranInTerminal_ = HasControllingTerminal(pid);
}

EndingService::~EndingService() = default;

bool EndingService::NameReleased() const { return !connection_ || remote::ServiceNameOwner(*connection_) != server_; }

bool EndingService::Ended() const
{
    if (!NameReleased())
        return false;
    if (!process_)
        return true;
    pollfd exited{process_.get(), POLLIN, 0};
    return poll(&exited, 1, 0) == 1;
}

bool EndingService::Kill()
{
    if (process_) {
        pollfd exited{process_.get(), POLLIN, 0};
        return poll(&exited, 1, 0) == 0 && SendKill(process_.get());
    }
    // Not held (no pidfd): its name's owner, while it still has the name.
    if (NameReleased())
        return false;
    const pid_t pid = remote::ConnectionProcess(*connection_, server_);
    return pid > 0 && !NameReleased() && kill(pid, SIGKILL) == 0;
}

} // namespace pixtera::designer
