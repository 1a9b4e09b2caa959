// SPDX-License-Identifier: MIT
#include "program_processes.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <string>
#include <vector>

namespace pixtera::test {
namespace {

// The file a process executes ("" when it cannot be read: gone, a zombie or a kernel thread);
// a file replaced since keeps its path with " (deleted)" after it.
std::string ExecutableOf(const std::string& pid)
{
    std::error_code ec;
    std::string target = std::filesystem::read_symlink("/proc/" + pid + "/exe", ec).string();
    const std::string deleted = " (deleted)";
    if (target.size() > deleted.size() && target.ends_with(deleted))
        target.resize(target.size() - deleted.size());
    return target;
}

// A pidfd for each process executing `program`, taken before its executable is read again: the
// descriptor pins the process, so a pid reused in between is never the one signalled.
std::vector<int> Running(const std::string& program)
{
    std::vector<int> held;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0])) || std::stol(pid) == getpid())
            continue;
        if (ExecutableOf(pid) != program)
            continue;
        const int process = static_cast<int>(syscall(SYS_pidfd_open, std::stoi(pid), 0));
        if (process < 0)
            continue;
        if (ExecutableOf(pid) == program)
            held.push_back(process);
        else
            close(process);
    }
    return held;
}

bool Ended(int process, int milliseconds)
{
    pollfd exited{process, POLLIN, 0};
    return poll(&exited, 1, milliseconds) == 1;
}

} // namespace

int EndProcessesRunning(const std::filesystem::path& program)
{
    if (!program.is_absolute() || program.filename().empty())
        return 0;
    std::error_code ec;
    const auto resolved = std::filesystem::weakly_canonical(program, ec); // as /proc/PID/exe says it
    const std::vector<int> held = Running((ec ? program.lexically_normal() : resolved).string());
    int signalled = 0;
    for (const int process : held)
        if (syscall(SYS_pidfd_send_signal, process, SIGTERM, nullptr, 0) == 0)
            ++signalled;
    const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (const int process : held) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(patience - std::chrono::steady_clock::now());
        if (!Ended(process, static_cast<int>(std::max<long long>(left.count(), 0)))) {
            syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0);
            Ended(process, 10000);
        }
        close(process);
    }
    return signalled;
}

} // namespace pixtera::test
