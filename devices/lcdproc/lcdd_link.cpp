// SPDX-License-Identifier: MIT
#include "lcdd_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace pixtera::lcdproc {
namespace {

// Frames go at once, and a peer that vanished without closing (a machine switched off, a cable
// pulled) is found by the kernel's probes after a minute and a half of silence: the link is
// never looked at by a timer of ours.
void KeepAlive(int fd)
{
    const int on = 1, idle = 60, interval = 10, probes = 3;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

} // namespace

bool LcddLink::Connect(const std::string& host, int port, std::chrono::milliseconds limit, std::string* error)
{
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int failed = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); failed != 0) {
        if (error)
            *error = std::string("the host is unknown (") + gai_strerror(failed) + ")";
        return false;
    }
    std::string reason = "no address to connect to";
    for (addrinfo* address = found; address && fd_ < 0; address = address->ai_next) {
        const int fd =
            socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address->ai_protocol);
        if (fd < 0)
            continue;
        int connected = connect(fd, address->ai_addr, address->ai_addrlen);
        int failure = connected == 0 ? 0 : errno;
        if (connected != 0 && errno == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            socklen_t length = sizeof failure;
            if (poll(&wait, 1, static_cast<int>(limit.count())) != 1)
                failure = ETIMEDOUT;
            else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0)
                failure = errno;
            connected = failure == 0 ? 0 : -1;
        }
        if (failure == ECONNREFUSED)
            reason = "the connection was refused (is LCDd running?)";
        else if (failure == ETIMEDOUT)
            reason = "no answer within " + std::to_string(limit.count()) + " ms";
        else if (failure != 0)
            reason = std::strerror(failure);
        if (connected == 0) {
            KeepAlive(fd);
            fd_ = fd;
        } else {
            close(fd);
        }
    }
    freeaddrinfo(found);
    if (fd_ < 0 && error)
        *error = reason;
    return fd_ >= 0;
}

void LcddLink::Close()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    pending_.clear();
}

bool LcddLink::Send(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size() && fd_ >= 0) {
        const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd wait{fd_, POLLOUT, 0};
            if (poll(&wait, 1, 1000) == 1)
                continue;
        }
        Close();
        return false;
    }
    return fd_ >= 0;
}

std::optional<std::string> LcddLink::ReadLine(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (fd_ >= 0) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        if (pending_.size() > kLongestLine) {
            Close();
            return std::nullopt;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd wait{fd_, POLLIN, 0};
        if (left.count() < 0 || poll(&wait, 1, static_cast<int>(left.count())) != 1)
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
            Close();
            return std::nullopt;
        }
        if (n > 0)
            pending_.append(buffer, static_cast<std::size_t>(n));
    }
    return std::nullopt;
}

LcddLink::Woken LcddLink::Wait(int wake, std::optional<std::chrono::milliseconds> limit) const
{
    if (fd_ >= 0 && pending_.find('\n') != std::string::npos)
        return Woken::Link;
    const auto deadline =
        limit ? std::chrono::steady_clock::now() + *limit : std::chrono::steady_clock::time_point::max();
    pollfd waits[2] = {{wake, POLLIN, 0}, {fd_, POLLIN, 0}};
    while (true) {
        int timeout = -1;
        if (limit) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
        }
        const int ready = poll(waits, fd_ >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return Woken::Time;
        return waits[0].revents ? Woken::Wake : Woken::Link;
    }
}

} // namespace pixtera::lcdproc
