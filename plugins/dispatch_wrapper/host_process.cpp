// SPDX-License-Identifier: MIT
#include "host_process.h"

#include "link_io.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/spawn.h>
#include <pixtera/platform/thread.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pixtera::host {
namespace {

// The host's ends of the sockets, at these numbers in the host.
constexpr int kHostSocket = 3;
constexpr int kHostEvents = 4;

// Events read in one go before the output is looked at again: a plug-in that floods keys costs
// the reading thread, never its memory.
constexpr int kEventsPerTurn = 64;

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

} // namespace

std::unique_ptr<HostProcess> HostProcess::Start(const std::filesystem::path& program, const std::string& name,
                                                KeyHandler onKey, std::string& error)
{
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        error = Reason("socketpair");
        return nullptr;
    }
    // Datagrams: an event is whole or not there, and the host never waits for us to read.
    int events[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, events) != 0) {
        error = Reason("socketpair");
        close(sockets[0]);
        close(sockets[1]);
        return nullptr;
    }
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        error = Reason("pipe");
        for (int fd : {sockets[0], sockets[1], events[0], events[1]})
            close(fd);
        return nullptr;
    }
    fcntl(events[0], F_SETFL, O_NONBLOCK);
    // Everything of ours is close-on-exec; the host gets its sockets as 3 and 4, its output pipe
    // as standard output and error, and /dev/null as input.
    SpawnOptions options;
    const std::string programText = program.string();
    options.argv = {programText, std::to_string(kHostSocket), std::to_string(getpid()), std::to_string(kHostEvents)};
    options.output = options.error = SpawnOptions::Stream::From(output[1]);
    options.passed = {{sockets[1], kHostSocket}, {events[1], kHostEvents}};
    options.newProcessGroup = true; // killed as one, with whatever the plug-in starts

    const pid_t pid = Spawn(options);
    const int spawnError = errno;
    close(sockets[1]);
    close(events[1]);
    close(output[1]);
    if (pid < 0) {
        error = programText + ": " + std::strerror(spawnError);
        close(sockets[0]);
        close(events[0]);
        close(output[0]);
        return nullptr;
    }
    return std::make_unique<HostProcess>(Parts{pid, sockets[0], output[0], events[0]}, name, std::move(onKey));
}

HostProcess::HostProcess(Parts parts, std::string name, KeyHandler onKey)
    : pid_(parts.pid),
      socket_(parts.socket),
      output_(parts.output),
      events_(parts.events),
      onKey_(std::move(onKey)),
      stopOutput_(eventfd(0, EFD_CLOEXEC)),
      name_(std::move(name))
{
    outputThread_ = std::thread([this] {
        NameThisThread("px-host-output");
        CopyOutput();
    });
}

HostProcess::~HostProcess()
{
    // The host's whole group goes with it: helpers the plug-in started would otherwise keep its
    // output pipe (and the copying thread) alive for as long as they like. The host, alive or a
    // zombie, is not reaped before: until then its number cannot be another process's, nor the
    // group another's.
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    close(socket_);
    const std::uint64_t stop = 1;
    [[maybe_unused]] const auto written = write(stopOutput_, &stop, sizeof stop);
    outputThread_.join();
    close(stopOutput_);
    close(output_);
    close(events_);
}

std::string HostProcess::Ending()
{
    // The socket closes a moment before the process is gone.
    // Left a zombie (WNOWAIT): the destructor kills its group and reaps it.
    for (int i = 0; i < 50; ++i) {
        siginfo_t ended{};
        if (waitid(P_PID, static_cast<id_t>(pid_), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == pid_) {
            if (ended.si_code == CLD_KILLED || ended.si_code == CLD_DUMPED)
                return " (killed by signal " + std::to_string(ended.si_status) + ", " + strsignal(ended.si_status) +
                       ")";
            return " (exit status " + std::to_string(ended.si_status) + ")";
        }
        usleep(2000);
    }
    return {};
}

void HostProcess::CopyOutput()
{
    std::string pending;
    char buffer[1024];
    ssize_t got = 0;
    // Until the pipe ends or the host is gone. Then what is already there is read (a bounded
    // amount: whatever still holds the pipe may write without end), and nothing is waited for.
    constexpr std::size_t kAfterStop = 64 * 1024;
    bool stopping = false;
    std::size_t readAfterStop = 0;
    bool eventsOpen = true;
    for (;;) {
        pollfd fds[3] = {{output_, POLLIN, 0}, {stopOutput_, POLLIN, 0}, {eventsOpen ? events_ : -1, POLLIN, 0}};
        if (poll(fds, 3, stopping ? 0 : -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            stopping = true;
        if (!stopping && (fds[2].revents & POLLIN))
            TakeEvents();
        else if (fds[2].revents & (POLLHUP | POLLERR))
            eventsOpen = false; // the host closed it; its output may still come
        const bool readable = fds[0].revents & (POLLIN | POLLHUP);
        if (stopping && (!readable || readAfterStop >= kAfterStop))
            break;
        if (!readable)
            continue;
        got = read(output_, buffer, sizeof buffer);
        if (stopping && got > 0)
            readAfterStop += static_cast<std::size_t>(got);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            LogInformation(name_ + ": " + pending.substr(0, end));
        if (pending.size() > 4096) { // a line without end is logged in pieces
            LogInformation(name_ + ": " + pending);
            pending.clear();
        }
    }
    if (!pending.empty())
        LogInformation(name_ + ": " + pending);
}

void HostProcess::TakeEvents()
{
    std::byte datagram[kLargestEvent];
    for (int i = 0; i < kEventsPerTurn; ++i) {
        const ssize_t got = recv(events_, datagram, sizeof datagram, MSG_DONTWAIT | MSG_TRUNC);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        // A longer datagram was cut (MSG_TRUNC says its real length): it is no event of ours.
        if (static_cast<std::size_t>(got) > sizeof datagram)
            continue;
        if (const auto event = DecodeKeyEvent(std::span(datagram, static_cast<std::size_t>(got))); event && onKey_)
            onKey_(*event);
    }
}

std::optional<Result> HostProcess::Call(const host::Call& call, std::chrono::milliseconds limit, std::string& error)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    host::Call numbered = call;
    numbered.number = ++lastNumber_;
    if (!SendMessage(socket_, EncodeCall(numbered))) {
        error = "the host is gone";
        return std::nullopt;
    }
    std::optional<std::uint32_t> oversized;
    const auto body = ReceiveMessage(socket_, deadline, &oversized);
    if (!body) {
        if (oversized)
            error = "the host announced an answer of " + std::to_string(*oversized) + " bytes (at most " +
                    std::to_string(kLargestMessage) + ")";
        else if (std::chrono::steady_clock::now() >= deadline)
            error = "no answer within " + std::to_string(limit.count()) + " ms";
        else
            error = "the host ended" + Ending();
        return std::nullopt;
    }
    auto result = DecodeResult(*body);
    if (!result) {
        error = "the host answered nonsense";
        return std::nullopt;
    }
    // A stray reply would shift every later answer by one call: the host is faulty.
    if (result->number != numbered.number) {
        error = "the host answered call " + std::to_string(numbered.number) + " with the answer to call " +
                std::to_string(result->number);
        return std::nullopt;
    }
    return result;
}

} // namespace pixtera::host
