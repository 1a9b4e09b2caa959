// SPDX-License-Identifier: MIT
#pragma once
// The commands menu entries run: a program and its arguments started directly (never through a
// shell), with a deadline, a bound on its output and its process group ended when it overruns,
// each on a thread of its own so that the menu never waits. At most one runs per display: a
// second one asked for meanwhile finishes at once with "Busy".

#include "outside_actions.h"

#include <pixtera/command_runner.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace pixtera {

class CommandActions {
public:
    struct Limits {
        std::chrono::milliseconds deadline{std::chrono::seconds(10)};
        // pixtera-command-runner, which ends what a command leaves behind; without it, only the
        // command's process group is ended at its deadline.
        std::filesystem::path runner;
    };

    explicit CommandActions(Limits limits);
    CommandActions(const CommandActions&) = delete;
    CommandActions& operator=(const CommandActions&) = delete;
    // Ends the commands still running (as at their deadline) and waits for their threads.
    ~CommandActions();

    // `command`: the program, then its arguments. `finished` runs on the command's thread.
    void Start(int display, std::vector<std::string> command, ActionFinished finished);

private:
    struct Run {
        std::thread thread;
        std::atomic<bool> over{false}; // its thread has nothing left to do: joining it cannot wait
    };

    void RunOne(int display, const std::vector<std::string>& command, const ActionFinished& finished);
    void JoinThoseOver();

    const Limits limits_;
    std::atomic<bool> cancel_{false};
    std::mutex mutex_; // guards busy_, runs_ and runnerMissingSaid_
    std::set<int> busy_; // displays with a command running
    std::list<std::unique_ptr<Run>> runs_;
    bool runnerMissingSaid_ = false;
};

// What a display shows of a command that did not end well, in 20 columns; "" when it did.
std::string CommandFailure(const CommandResult& result, std::chrono::milliseconds deadline);

// pixtera-command-runner beside the running program (the service's, in a build tree and once
// installed); empty when it is not there.
std::filesystem::path RunnerBesideProgram();

} // namespace pixtera
