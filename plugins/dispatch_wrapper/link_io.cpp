// SPDX-License-Identifier: MIT
#include "link_io.h"

#include "host_wire.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pixtera::host {
namespace {

// Waits until fd is readable or the deadline passed.
bool WaitReadable(int fd, const std::optional<std::chrono::steady_clock::time_point>& deadline)
{
    while (true) {
        int timeout = -1;
        if (deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
            if (left.count() < 0)
                return false;
            timeout = static_cast<int>(std::min<long long>(left.count() + 1, 1 << 30));
        }
        pollfd poller{fd, POLLIN, 0};
        const int ready = poll(&poller, 1, timeout);
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool ReceiveExactly(int fd, std::byte* into, std::size_t size,
                    const std::optional<std::chrono::steady_clock::time_point>& deadline)
{
    while (size > 0) {
        if (!WaitReadable(fd, deadline))
            return false;
        const ssize_t got = recv(fd, into, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

bool SendMessage(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::optional<std::vector<std::byte>> ReceiveMessage(int fd,
                                                     std::optional<std::chrono::steady_clock::time_point> deadline,
                                                     std::optional<std::uint32_t>* oversized)
{
    std::uint32_t length = 0;
    if (!ReceiveExactly(fd, reinterpret_cast<std::byte*>(&length), sizeof length, deadline))
        return std::nullopt;
    if (length > kLargestMessage) {
        if (oversized)
            *oversized = length;
        return std::nullopt;
    }
    std::vector<std::byte> body(length);
    if (!ReceiveExactly(fd, body.data(), body.size(), deadline))
        return std::nullopt;
    return body;
}

} // namespace pixtera::host
