// SPDX-License-Identifier: MIT
#include "socket_server.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace pixtera::lcdproc {
namespace {

// Read per client and round, so that one busy client cannot starve the others.
constexpr std::size_t kReadChunk = 4096;
constexpr int kReserveRetryMs = 1000;
// A client's output buffer is kept from round to round up to this size.
constexpr std::size_t kKeptOutputBytes = 16 * 1024;

// Where the line ends, npos when it does not end in `data`. A plain loop: find_first_of would
// search its set once per byte.
std::size_t LineEnd(std::string_view data)
{
    for (std::size_t at = 0; at < data.size(); ++at)
        if (data[at] == '\n' || data[at] == '\r' || data[at] == '\0')
            return at;
    return std::string_view::npos;
}

std::string Address(const ListenAddress& address) { return address.host + ":" + std::to_string(address.port); }

} // namespace

SocketServer::SocketServer(ServerState& state, std::size_t maxClients) : state_(state), maxClients_(maxClients) {}

SocketServer::~SocketServer()
{
    stopping_ = true;
    Wake();
    if (thread_.joinable())
        thread_.join();
    for (auto& [fd, connection] : connections_)
        state_.Disconnect(connection.client);
}

bool SocketServer::Start(const ListenAddress& address, std::string& why)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int failed = getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found)) {
        why = "the address " + Address(address) + " is unknown (" + gai_strerror(failed) + ")";
        return false;
    }
    why = "no address to listen on";
    for (addrinfo* candidate = found; candidate && !listener_; candidate = candidate->ai_next) {
        UniqueFd fd(socket(candidate->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        const int on = 1;
        if (!fd || setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
            bind(fd.get(), candidate->ai_addr, candidate->ai_addrlen) != 0 || listen(fd.get(), 64) != 0) {
            why = "cannot listen on " + Address(address) + ": " + std::strerror(errno);
            continue;
        }
        listener_ = std::move(fd);
    }
    freeaddrinfo(found);
    if (!listener_)
        return false;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                              : reinterpret_cast<sockaddr_in&>(bound).sin_port);
    wake_ = UniqueFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake_) {
        why = std::string("no eventfd: ") + std::strerror(errno);
        return false;
    }
    epoll_ = UniqueFd(epoll_create1(EPOLL_CLOEXEC));
    if (!epoll_) {
        why = std::string("no epoll: ") + std::strerror(errno);
        return false;
    }
    Watch(listener_.get(), EPOLLIN, false);
    Watch(wake_.get(), EPOLLIN, false);
    TakeReserve();
    thread_ = std::thread([this] {
        NameThisThread("px-lcdserver");
        Loop();
    });
    return true;
}

void SocketServer::Wake()
{
    if (!wake_)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_.get(), &one, sizeof one);
}

bool SocketServer::TakeReserve()
{
    if (!reserve_)
        reserve_ = UniqueFd(open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (!reserve_ && !reserveLost_)
        LogWarning("LCDproc server: no file descriptor to spare for refusing clients; new clients wait until "
                   "there is one");
    reserveLost_ = !reserve_;
    return !reserveLost_;
}

void SocketServer::Watch(int fd, std::uint32_t events, bool added)
{
    epoll_event event{};
    event.events = events;
    event.data.fd = fd;
    epoll_ctl(epoll_.get(), added ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &event);
}

void SocketServer::Arm(Connection& connection)
{
    const std::uint32_t wanted = EPOLLIN | (connection.pending.empty() ? 0u : std::uint32_t{EPOLLOUT});
    if (wanted != connection.watched)
        Watch(connection.fd.get(), wanted, true);
    connection.watched = wanted;
}

void SocketServer::Loop()
{
    // Only the ready ones come back from epoll: a round costs what happened, not the number of
    // clients connected.
    std::array<epoll_event, 64> ready{};
    bool takeAll = true; // another thread may have queued output for any client
    bool listening = true; // the listener is watched
    while (!stopping_) {
        // Without the spare descriptor a waiting client could be neither taken nor refused, and
        // would wake the loop at once, for ever: the listener waits, and the spare is tried again
        // every second (and whenever a client comes or goes).
        const bool spare = TakeReserve();
        if (spare != listening)
            Watch(listener_.get(), spare ? std::uint32_t{EPOLLIN} : 0u, true);
        listening = spare;
        if (takeAll)
            for (auto& [fd, connection] : connections_) {
                // Output other threads queued; a client's own replies went out right after its
                // lines (what did not fit waits in pending).
                if (connection.pending.empty())
                    state_.TakeOutput(connection.client, connection.pending);
                Arm(connection);
            }
        takeAll = false;
        const int count =
            epoll_wait(epoll_.get(), ready.data(), static_cast<int>(ready.size()), listening ? -1 : kReserveRetryMs);
        rounds_.fetch_add(1, std::memory_order_relaxed);
        if (count < 0 && errno != EINTR) {
            LogError(std::string("LCDproc server: epoll_wait failed: ") + std::strerror(errno) +
                     "; no more clients are served");
            return;
        }
        bool accept = false;
        for (int i = 0; i < count; ++i) {
            const int fd = ready[static_cast<std::size_t>(i)].data.fd;
            const std::uint32_t events = ready[static_cast<std::size_t>(i)].events;
            if (fd == listener_.get()) {
                accept = listening;
                continue;
            }
            if (fd == wake_.get()) {
                std::uint64_t wakes = 0;
                [[maybe_unused]] const auto read = ::read(wake_.get(), &wakes, sizeof wakes);
                takeAll = true;
                continue;
            }
            const auto it = connections_.find(fd);
            if (it == connections_.end())
                continue; // closed earlier in this round
            Connection& connection = it->second;
            const bool readable = events & (EPOLLIN | EPOLLHUP | EPOLLERR);
            if (readable && !Read(connection))
                continue; // closed
            if (readable && state_.Overflowed(connection.client)) {
                Close(fd, "does not read its replies");
                continue;
            }
            if (readable || (events & EPOLLOUT))
                Write(connection);
            Arm(connection);
        }
        if (takeAll) // what others queued may have outgrown a client's limit
            for (auto it = connections_.begin(); it != connections_.end();) {
                const int fd = (it++)->first;
                if (state_.Overflowed(connections_.at(fd).client))
                    Close(fd, "does not read its replies");
            }
        if (accept)
            Accept();
    }
}

void SocketServer::Accept()
{
    while (true) {
        UniqueFd fd(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!fd) {
            if (errno == EMFILE || errno == ENFILE)
                Shed();
            return;
        }
        outOfFds_ = false;
        if (connections_.size() >= maxClients_) {
            if (!refusing_)
                LogWarning("LCDproc server: " + std::to_string(maxClients_) +
                           " clients are connected, the most allowed (clients=); further ones are refused");
            refusing_ = true;
            continue; // closed at once
        }
        Connection connection;
        connection.client = state_.Connect();
        const int key = fd.get();
        connection.fd = std::move(fd);
        connection.watched = EPOLLIN;
        Watch(key, EPOLLIN, false);
        connections_.emplace(key, std::move(connection));
    }
}

void SocketServer::Shed()
{
    if (!outOfFds_)
        LogWarning("LCDproc server: no file descriptor for a new client; clients are refused until there is");
    outOfFds_ = true;
    // The client waiting would wake the loop again at once, for ever: let it in on the reserve
    // and close it. Another thread of the process may take the freed number first; then the
    // accept fails too, the reserve cannot be had again, and the loop waits for it.
    reserve_.reset();
    UniqueFd(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    TakeReserve();
}

bool SocketServer::Read(Connection& connection)
{
    char buffer[kReadChunk];
    const ssize_t got = recv(connection.fd.get(), buffer, sizeof buffer, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
        Close(connection.fd.get(), nullptr); // gone, with whatever half line it sent
        return false;
    }
    if (got < 0)
        return true;
    // The whole lines of this read run at once; the first may have begun in an earlier read.
    std::vector<std::string_view>& lines = lines_;
    lines.clear();
    auto run = [&] {
        const std::size_t done = state_.ExecuteAll(connection.client, lines);
        const bool bye = done < lines.size();
        lines.clear();
        if (bye) {
            Write(connection); // what came before "bye"
            Close(connection.fd.get(), nullptr);
        }
        return !bye;
    };
    for (std::string_view data(buffer, static_cast<std::size_t>(got)); !data.empty();) {
        // As LCDd reads: a line ends at a line feed, a carriage return or a NUL ("\r\n" leaves
        // an empty line between, which does nothing).
        const std::size_t end = LineEnd(data);
        const std::string_view piece = data.substr(0, end);
        data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
        if (!connection.skipping && connection.input.size() + piece.size() > kLongestLine) {
            if (!run()) // the lines before it are answered first
                return false;
            connection.input.clear();
            connection.skipping = true;
            state_.Send(connection.client, "huh? Line too long");
        }
        if (end == std::string_view::npos) {
            if (!connection.skipping)
                connection.input.append(piece);
            break;
        }
        if (!connection.skipping && connection.input.empty()) {
            lines.push_back(piece);
        } else if (!connection.skipping) {
            begun_.assign(connection.input).append(piece);
            lines.emplace_back(begun_);
        }
        connection.input.clear();
        connection.skipping = false;
    }
    return run();
}

bool SocketServer::Write(Connection& connection)
{
    for (bool took = false;;) {
        if (connection.pending.empty()) {
            // Output queued after this take is another thread's, which wakes the loop for it.
            if (took)
                return true;
            state_.TakeOutput(connection.client, connection.pending);
            took = true;
            if (connection.pending.empty())
                return true;
        }
        while (!connection.pending.empty()) {
            const ssize_t sent =
                send(connection.fd.get(), connection.pending.data(), connection.pending.size(), MSG_NOSIGNAL);
            if (sent < 0)
                return errno == EAGAIN || errno == EINTR;
            connection.pending.erase(0, static_cast<std::size_t>(sent));
        }
        if (connection.pending.capacity() > kKeptOutputBytes)
            std::string().swap(connection.pending);
    }
}

void SocketServer::Close(int fd, const char* why)
{
    const auto it = connections_.find(fd);
    if (it == connections_.end())
        return;
    if (why)
        LogWarning("LCDproc server: a client " + std::string(why) + "; it is dropped");
    state_.Disconnect(it->second.client);
    connections_.erase(it);
    if (connections_.size() < maxClients_)
        refusing_ = false;
}

} // namespace pixtera::lcdproc
