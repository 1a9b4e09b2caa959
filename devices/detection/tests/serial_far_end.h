// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal with a device at its far end, for serial detection through the kernel: the
// slave end is raw (nothing the device sends is echoed back as if written) and stays open, so that
// its settings stay too; a thread records what the probe writes, answers through `answer` and,
// with `chatter`, sends that again and again, asked or not.

#include <pixtera/platform/unique_fd.h>

#include <atomic>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <string>
#include <string_view>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace pixtera::detection::test {

class SerialFarEnd {
public:
    using Answer = std::function<std::string(std::string_view received)>;

    explicit SerialFarEnd(Answer answer, std::string chatter = {})
        : answer_(std::move(answer)), chatter_(std::move(chatter))
    {
        int master = -1, slave = -1;
        char name[256];
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&master, &slave, name, &raw, nullptr) != 0)
            return;
        master_.reset(master);
        slave_.reset(slave);
        path_ = name;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK); // chatter nobody reads is dropped
        thread_ = std::thread([this] { Run(); });
    }
    SerialFarEnd(const SerialFarEnd&) = delete;
    SerialFarEnd& operator=(const SerialFarEnd&) = delete;
    ~SerialFarEnd()
    {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    // Empty when no pseudo-terminal could be had.
    const std::string& path() const { return path_; }
    // The slave end, to read and set the port's settings as the probe finds them.
    int slave() const { return slave_.get(); }
    std::string received() const
    {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    void Run()
    {
        while (!done_) {
            if (!chatter_.empty()) {
                [[maybe_unused]] const ssize_t sent = write(master_.get(), chatter_.data(), chatter_.size());
            }
            pollfd ready{master_.get(), POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0 || !(ready.revents & POLLIN))
                continue;
            char buffer[256];
            const ssize_t n = read(master_.get(), buffer, sizeof buffer);
            if (n <= 0)
                continue;
            const std::string_view got(buffer, static_cast<std::size_t>(n));
            {
                std::lock_guard lock(mutex_);
                received_.append(got);
            }
            const std::string reply = answer_(got);
            if (!reply.empty())
                WriteAll(master_.get(), reply);
        }
    }

    Answer answer_; // called on the thread alone
    std::string chatter_;
    UniqueFd master_;
    UniqueFd slave_;
    std::string path_;
    mutable std::mutex mutex_; // guards received_
    std::string received_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

} // namespace pixtera::detection::test
