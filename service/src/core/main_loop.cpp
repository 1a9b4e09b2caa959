// SPDX-License-Identifier: MIT
#include "main_loop.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace pixtera {
namespace {

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP); // the terminal closed
    return set;
}

} // namespace

void MainLoop::BlockStopSignals()
{
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

MainLoop::MainLoop()
{
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    const sigset_t set = StopSignals();
    signalFd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd_ < 0) {
        close(wakeFd_);
        throw std::system_error(errno, std::generic_category(), "signalfd");
    }
}

MainLoop::~MainLoop()
{
    close(signalFd_);
    close(wakeFd_);
}

void MainLoop::PostQuit()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    Wake();
}

void MainLoop::Wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
}

bool MainLoop::Quitting()
{
    std::lock_guard lock(mutex_);
    return quit_;
}

void MainLoop::Run(const std::function<void(int signal)>& onStopSignal)
{
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {signalFd_, POLLIN, 0}};
    while (!Quitting()) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto read_ = read(wakeFd_, &count, sizeof count);
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            while (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                onStopSignal(static_cast<int>(info.ssi_signo));
        }
    }
}

} // namespace pixtera
