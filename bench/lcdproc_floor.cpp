// SPDX-License-Identifier: MIT
// The floor under bench/lcdproc-server.sh: the least any LCDd-protocol server does for the same
// clients and module on this machine. One thread sleeps in epoll, reads what a client sent and
// answers "success" to each line, without looking at the lines; another wakes eight times a second
// and writes a frame's changed row to the module's pseudo-terminal. What pixtera2 spends above
// this is its own; what LCDd and pixtera2 both spend up to it is the kernel's.
//   lcdproc-floor PORT DEVICE

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

void Watch(int epoll, int fd)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}

[[noreturn]] void Serve(int port)
{
    const Fd listener(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int on = 1;
    setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.get(), 64) != 0) {
        std::perror("lcdproc-floor: listen");
        std::exit(1);
    }
    const Fd epoll(epoll_create1(EPOLL_CLOEXEC));
    Watch(epoll.get(), listener.get());
    std::array<epoll_event, 64> ready{};
    std::array<char, 4096> input{};
    std::string answers;
    for (;;) {
        const int count = epoll_wait(epoll.get(), ready.data(), static_cast<int>(ready.size()), -1);
        for (int i = 0; i < count; ++i) {
            const int fd = ready[static_cast<std::size_t>(i)].data.fd;
            if (fd == listener.get()) {
                for (int client; (client = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;)
                    Watch(epoll.get(), client); // closed when its client goes, below
                continue;
            }
            const ssize_t got = recv(fd, input.data(), input.size(), 0);
            if (got <= 0) {
                close(fd);
                continue;
            }
            answers.clear();
            for (ssize_t at = 0; at < got; ++at)
                if (input[static_cast<std::size_t>(at)] == '\n')
                    answers += "success\n";
            if (!answers.empty())
                send(fd, answers.data(), answers.size(), MSG_NOSIGNAL);
        }
    }
}

[[noreturn]] void Tick(const char* device)
{
    const Fd module(open(device, O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios raw{};
    if (module.get() < 0 || tcgetattr(module.get(), &raw) != 0) {
        std::perror("lcdproc-floor: the module");
        std::exit(1);
    }
    cfmakeraw(&raw);
    tcsetattr(module.get(), TCSANOW, &raw);
    auto next = std::chrono::steady_clock::now();
    for (unsigned frame = 0;; ++frame) {
        next += std::chrono::milliseconds(125);
        std::this_thread::sleep_until(next);
        // What pixtera2 sends a matrix-orbital module for this load: eight short changed runs, each
        // a cursor move and the last digit, in one write.
        std::string bytes;
        for (int run = 0; run < 8; ++run)
            bytes += {'\xFE', 'G', static_cast<char>(10 + run % 2 * 10), static_cast<char>(1 + run / 2),
                      static_cast<char>('0' + frame % 10)};
        [[maybe_unused]] const auto written = write(module.get(), bytes.data(), bytes.size());
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: lcdproc-floor PORT DEVICE\n");
        return 2;
    }
    std::thread ticking(Tick, argv[2]);
    Serve(std::atoi(argv[1]));
}
