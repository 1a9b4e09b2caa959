// SPDX-License-Identifier: MIT
#pragma once
// Runs one command: standard input from /dev/null, its output kept up to a bound, killed when it
// overruns its deadline.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace pixtera {

struct CommandResult {
    enum class Outcome { Finished, TimedOut, NotStarted };
    Outcome outcome = Outcome::NotStarted;
    int exitCode = -1; // for Finished; -1 when killed by a signal
    std::string output; // standard output, at most kMaxOutput bytes
    std::string errors; // standard error, at most kMaxErrors bytes
};

inline constexpr std::size_t kMaxOutput = 64 * 1024;
inline constexpr std::size_t kMaxErrors = 4 * 1024;

// `argv[0]` is looked up in PATH. More output than the bounds is read and dropped, so a chatty
// command neither blocks nor fills the memory.
// When `cancel` becomes true the command is killed as on a timeout.
// With `runner` (pixtera-command-runner), the command runs under it, and every process it leaves
// behind is killed when it ends, at the deadline or on cancel, even those in sessions of their
// own; without, its process group is killed at the deadline.
CommandResult RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds deadline,
                         const std::atomic<bool>& cancel, const std::filesystem::path& runner = {});

// What pixtera-command-runner exits with when the command could not be started.
inline constexpr int kRunnerNotStarted = 254;

} // namespace pixtera
