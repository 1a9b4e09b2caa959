// SPDX-License-Identifier: MIT
#pragma once
// The service's main loop, in place of a thread message queue: other threads post the quit
// message; SIGTERM and SIGINT arrive here too, as signals read from a signalfd, so that no
// signal handler ever runs service code.

#include <functional>
#include <mutex>

namespace pixtera {

class MainLoop {
public:
    // Blocks SIGTERM and SIGINT in the calling thread; call it before any thread is created so
    // that every thread inherits the mask and only this loop receives them.
    static void BlockStopSignals();

    MainLoop();
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;
    ~MainLoop();

    // Runs until PostQuit. `onStopSignal` is called on this thread for SIGTERM and SIGINT.
    void Run(const std::function<void(int signal)>& onStopSignal);

    // Thread-safe.
    void PostQuit();

private:
    void Wake();
    bool Quitting();

    int wakeFd_ = -1;
    int signalFd_ = -1;
    std::mutex mutex_; // guards quit_
    bool quit_ = false;
};

} // namespace pixtera
