// SPDX-License-Identifier: MIT
#pragma once
// A program started by a test, with its standard output and error collected.

#include <filesystem>
#include <string>
#include <vector>

namespace pixtera::test {

class ChildProcess {
public:
    // Starts argv[0] with the test's environment plus `environment` ("NAME=value").
    explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess(); // kills a child that is still running

    // Reads output until it contains `text` (true) or the child closed it or 10 s passed (false).
    bool WaitForOutput(const std::string& text);
    void Signal(int signal);
    // Waits for the exit and returns the exit code (128 + signal when killed).
    int Wait();
    // The exit code if the child ended within `milliseconds`, else -1.
    int WaitFor(int milliseconds);
    const std::string& output();
    int pid() const { return pid_; }

private:
    void Drain(int timeoutMs);

    int pid_ = -1;
    int outputFd_ = -1;
    std::string output_;
    int exitCode_ = -1;
};

// Copies a built program into the test's directory (bin/, with lib/ beside it), so that it
// keeps its files (pixtera2.xml, plugins/) there; returns the copy's path.
std::filesystem::path InstallProgramCopy(const std::string& program);

} // namespace pixtera::test
