// SPDX-License-Identifier: MIT
#pragma once
// The LCDd protocol's listening socket and its clients, on one thread of its own (px-lcdserver)
// sleeping in epoll_wait(). It reads lines, has the server state execute them and writes back what
// the state queued. Hostile clients are expected: a line longer than kLongestLine is answered
// "huh?" and skipped, clients past the limit are refused, a client whose replies pile up
// unread is dropped; each of these is logged once.
//
// Concurrency: the thread alone owns the sockets and their buffers; the server state has its
// own lock. Wake() (any thread) makes the loop send what other threads queued.

#include "server_state.h"

#include <pixtera/platform/unique_fd.h>

#include <atomic>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace pixtera::lcdproc {

inline constexpr std::size_t kLongestLine = 8192;

struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 13666;
};

class SocketServer {
public:
    SocketServer(ServerState& state, std::size_t maxClients);
    ~SocketServer();

    // Binds and starts the thread; false with the reason when the address cannot be had.
    bool Start(const ListenAddress& address, std::string& why);
    // The port bound (useful with port 0).
    int port() const { return port_; }
    // Some thread queued output for the clients.
    void Wake();
    // How often the loop woke so far: it sleeps while nothing happens.
    std::uint64_t rounds() const { return rounds_.load(std::memory_order_relaxed); }

private:
    struct Connection {
        UniqueFd fd;
        ClientId client = 0;
        std::string input;
        bool skipping = false; // the rest of an overlong line is dropped
        std::string pending; // taken from the state, not yet written
        std::uint32_t watched = 0; // the epoll events asked for it
    };

    void Loop();
    // Asks epoll for the events of the descriptor (`added`: it is watched already).
    void Watch(int fd, std::uint32_t events, bool added);
    // Watches the client for reading, and for writing while output waits.
    void Arm(Connection& connection);
    void Accept();
    // No descriptor is left for a client: the one waiting is refused.
    void Shed();
    // Opens the spare descriptor if it is not open; false (said once) when it cannot be had.
    bool TakeReserve();
    // False when the connection is to be closed.
    bool Read(Connection& connection);
    bool Write(Connection& connection);
    void Close(int fd, const char* why);

    ServerState& state_;
    const std::size_t maxClients_;
    UniqueFd listener_;
    UniqueFd wake_; // an eventfd
    UniqueFd epoll_; // the loop's: the listener, the eventfd and the clients
    UniqueFd reserve_; // the loop's alone: held free for refusing a client when none is left
    bool outOfFds_ = false; // the loop's alone: running out was said
    bool reserveLost_ = false; // the loop's (and Start's, before it): the spare could not be had, and that was said
    std::atomic<std::uint64_t> rounds_{0};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::map<int, Connection> connections_; // the loop's alone
    std::vector<std::string_view> lines_; // the loop's alone: the lines of one read, reused
    std::string begun_; // the loop's alone: a line begun in an earlier read, completed
    bool refusing_ = false; // the loop's alone: the limit was reached and said
    std::thread thread_;
};

} // namespace pixtera::lcdproc
