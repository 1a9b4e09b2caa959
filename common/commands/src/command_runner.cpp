// SPDX-License-Identifier: MIT
#include <pixtera/command_runner.h>
#include <pixtera/platform/spawn.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace pixtera {
namespace {

// A pipe whose ends close with it.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe()
    {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe()
    {
        CloseRead();
        CloseWrite();
    }
    void CloseRead()
    {
        if (read >= 0)
            close(read);
        read = -1;
    }
    void CloseWrite()
    {
        if (write >= 0)
            close(write);
        write = -1;
    }
    bool ok() const { return read >= 0 && write >= 0; }
};

pid_t Start(const std::vector<std::string>& argv, Pipe& out, Pipe& err)
{
    SpawnOptions options;
    options.argv = argv;
    options.output = SpawnOptions::Stream::From(out.write);
    options.error = SpawnOptions::Stream::From(err.write);
    // Its own process group, so that a timeout kills what it started too.
    options.newProcessGroup = true;
    return Spawn(options);
}

// Appends what can be read now, keeping at most `limit` bytes; false at the end of the stream.
bool Drain(int fd, std::string& kept, std::size_t limit)
{
    std::array<char, 4096> buffer;
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n <= 0)
        return false;
    const std::size_t room = limit > kept.size() ? limit - kept.size() : 0;
    kept.append(buffer.data(), std::min(room, static_cast<std::size_t>(n)));
    return true;
}

} // namespace

// Stops what runs: a runner is told, and kills what the command left behind before it ends; a
// runner that does not end soon, and a command without one, lose their whole group.
void Stop(pid_t child, bool underRunner)
{
    if (underRunner) {
        kill(child, SIGTERM);
        for (int waited = 0; waited < 1000; ++waited) {
            if (waitpid(child, nullptr, WNOHANG) != 0)
                return;
            usleep(1000);
        }
    }
    kill(-child, SIGKILL);
}

CommandResult RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds deadline,
                         const std::atomic<bool>& cancel, const std::filesystem::path& runner)
{
    CommandResult result;
    if (argv.empty())
        return result;
    Pipe out;
    Pipe err;
    if (!out.ok() || !err.ok())
        return result;
    std::vector<std::string> started = argv;
    if (!runner.empty()) {
        started.insert(started.begin(), {runner.string(), "--"});
    }
    const pid_t child = Start(started, out, err);
    out.CloseWrite();
    err.CloseWrite();
    if (child < 0)
        return result;

    const auto end = std::chrono::steady_clock::now() + deadline;
    bool outOpen = true;
    bool errOpen = true;
    bool timedOut = false;
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || cancel.load()) {
            timedOut = true;
            break;
        }
        pollfd fds[2] = {{outOpen ? out.read : -1, POLLIN, 0}, {errOpen ? err.read : -1, POLLIN, 0}};
        constexpr long long kCancelCheckMs = 100;
        if (poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), kCancelCheckMs))) <= 0)
            continue;
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            outOpen = Drain(out.read, result.output, kMaxOutput);
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            errOpen = Drain(err.read, result.errors, kMaxErrors);
    }
    const bool underRunner = !runner.empty();
    if (timedOut)
        Stop(child, underRunner);
    int status = 0;
    // The streams closed; the command may still be ending (or may have left a child behind).
    while (!timedOut && waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= end || cancel.load()) {
            timedOut = true;
            Stop(child, underRunner);
            break;
        }
        usleep(1000);
    }
    if (timedOut) {
        waitpid(child, &status, 0);
        result.outcome = CommandResult::Outcome::TimedOut;
        return result;
    }
    if (underRunner && WIFEXITED(status) && WEXITSTATUS(status) == kRunnerNotStarted) {
        result.outcome = CommandResult::Outcome::NotStarted;
        return result;
    }
    result.outcome = CommandResult::Outcome::Finished;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace pixtera
