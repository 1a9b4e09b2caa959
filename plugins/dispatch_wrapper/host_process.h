// SPDX-License-Identifier: MIT
#pragma once
// One running pixtera-plugin-host: the child process, its ends of the call socket and the event
// socket, and the thread that copies its output into the log and hands its events on. Destroying
// it kills the host (SIGKILL) and reaps it.

#include "host_wire.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>

namespace pixtera::host {

class HostProcess {
public:
    // A key the hosted plug-in reported, on the output thread; well-formed, but its values are
    // the plug-in's and unchecked.
    using KeyHandler = std::function<void(const KeyEventMessage&)>;

    // Starts `program`; `name` prefixes its output in the log. None, with the reason, when it
    // cannot be started.
    static std::unique_ptr<HostProcess> Start(const std::filesystem::path& program, const std::string& name,
                                              KeyHandler onKey, std::string& error);
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;
    ~HostProcess();

    // One call and its result; none when the host died, took longer than `limit` or answered
    // nonsense, with the reason.
    std::optional<Result> Call(const Call& call, std::chrono::milliseconds limit, std::string& error);

    pid_t pid() const { return pid_; }

    // Made by Start only.
    struct Parts {
        pid_t pid;
        int socket;
        int output;
        int events;
    };
    HostProcess(Parts parts, std::string name, KeyHandler onKey);

private:
    void CopyOutput();
    // Reads the events waiting on the event socket (a bounded number) and hands them on.
    void TakeEvents();
    // How the host ended, once it has ("killed by signal 11", "exit status 4"); it stays unreaped.
    std::string Ending();

    const pid_t pid_;
    std::uint32_t lastNumber_ = 0; // of the last call sent
    const int socket_;
    const int output_;
    const int events_; // datagrams from the host: its keys
    const KeyHandler onKey_;
    const int stopOutput_; // an eventfd: the host is gone, stop copying its output
    const std::string name_;
    std::thread outputThread_;
};

} // namespace pixtera::host
