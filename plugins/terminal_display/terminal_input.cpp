// SPDX-License-Identifier: MIT
#include "terminal_input.h"

#include <pixtera/platform/event_log.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

namespace pixtera {

struct TerminalInput::Mode {
    int fd;
    termios settings;
};

namespace {

// Puts back every terminal still read when the program ends.
class ModeRestorer {
public:
    static ModeRestorer& Instance()
    {
        static ModeRestorer restorer;
        return restorer;
    }
    void Remember(const std::weak_ptr<TerminalInput::Mode>& mode)
    {
        std::lock_guard lock(mutex_);
        modes_.push_back(mode);
    }
    ~ModeRestorer()
    {
        std::lock_guard lock(mutex_);
        for (const auto& weak : modes_)
            if (const auto mode = weak.lock())
                tcsetattr(mode->fd, TCSANOW, &mode->settings);
    }

private:
    std::mutex mutex_; // guards modes_
    std::vector<std::weak_ptr<TerminalInput::Mode>> modes_;
};

} // namespace

std::unique_ptr<TerminalInput> TerminalInput::Open(const std::string& tty, std::function<void(LONG key)> pressed)
{
    UniqueFd fd(open(tty.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd || fstat(fd.get(), &info) != 0 || !S_ISCHR(info.st_mode) || !isatty(fd.get()))
        return nullptr;
    auto found = std::make_shared<Mode>(Mode{fd.get(), {}});
    if (tcgetattr(fd.get(), &found->settings) != 0)
        return nullptr;
    termios keys = found->settings;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    if (tcsetattr(fd.get(), TCSANOW, &keys) != 0)
        return nullptr;
    ModeRestorer::Instance().Remember(found);
    return std::make_unique<TerminalInput>(std::move(fd), std::move(found), std::move(pressed));
}

TerminalInput::TerminalInput(UniqueFd tty, std::shared_ptr<Mode> found, std::function<void(LONG)> pressed)
    : tty_(std::move(tty)), found_(std::move(found)), pressed_(std::move(pressed))
{
    stop_.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stop_) {
        LogWarning("Terminal display: no keys (eventfd: " + std::string(std::strerror(errno)) + ")");
        return;
    }
    thread_ = Thread(kPluginThreadStack, [this] {
        NameThisThread("px-tty-keys");
        Run();
    });
}

TerminalInput::~TerminalInput()
{
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(stop_.get(), &one, sizeof one);
        thread_.join();
    }
    tcsetattr(tty_.get(), TCSANOW, &found_->settings);
}

void TerminalInput::Run()
{
    for (;;) {
        pollfd fds[2] = {{stop_.get(), POLLIN, 0}, {tty_.get(), POLLIN, 0}};
        const int wait = keys_.waiting() ? static_cast<int>(TerminalKeys::kEscapeQuiet.count()) : -1;
        const int ready = poll(fds, 2, wait);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            return;
        if (ready == 0) {
            for (LONG key : keys_.Quiet())
                pressed_(key);
            continue;
        }
        if (!(fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char bytes[256];
        const ssize_t got = read(tty_.get(), bytes, sizeof bytes);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0) {
            LogInformation("Terminal display: the terminal hung up; no more keys from it");
            return;
        }
        for (LONG key : keys_.Feed(std::string_view(bytes, static_cast<std::size_t>(got))))
            pressed_(key);
    }
}

} // namespace pixtera
