// SPDX-License-Identifier: MIT
#pragma once
// A client of the LCDd protocol for tests: lines out, lines in, with a generous limit on every
// wait so that a broken server fails the test instead of hanging it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

namespace pixtera::test {

inline int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class ProtocolClient {
public:
    explicit ProtocolClient(int port, int receiveBuffer = 0)
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~ProtocolClient() { Close(); }
    ProtocolClient(const ProtocolClient&) = delete;
    ProtocolClient& operator=(const ProtocolClient&) = delete;

    bool connected() const { return connected_; }
    void Close()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }
    bool Send(const std::string& bytes)
    {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t n = send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    }
    // The next line without its line feed; nothing when the server closed or ten seconds passed.
    std::optional<std::string> Line()
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (true) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            pollfd wait{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    // Sends the line and returns the replies up to and including the first that answers it
    // (skipping "listen" and "ignore" notices), joined by '|'.
    std::string Ask(const std::string& line, int replies = 1)
    {
        Send(line + "\n");
        std::string joined;
        for (int i = 0; i < replies;) {
            const auto reply = Line();
            if (!reply)
                return joined + "|<closed>";
            if (reply->starts_with("listen ") || reply->starts_with("ignore "))
                continue;
            joined += (joined.empty() ? "" : "|") + *reply;
            ++i;
        }
        return joined;
    }
    // True when the server closed the connection (within ten seconds).
    bool Closed()
    {
        while (Line()) {
        }
        pollfd wait{fd_, POLLIN, 0};
        char byte = 0;
        return poll(&wait, 1, 0) == 1 && recv(fd_, &byte, 1, MSG_DONTWAIT) == 0;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    std::string buffer_;
};

} // namespace pixtera::test
