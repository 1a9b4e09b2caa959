// SPDX-License-Identifier: MIT
#include "child_process.h"

#include "test_environment.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

namespace pixtera::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable)
        variables.emplace_back(*variable);
    for (const auto& added : environment) {
        const auto name = added.substr(0, added.find('=') + 1);
        std::erase_if(variables, [&](const std::string& v) { return v.rfind(name, 0) == 0; });
        variables.push_back(added);
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        std::vector<char*> env;
        for (auto& variable : variables)
            env.push_back(variable.data());
        env.push_back(nullptr);
        execve(args[0], args.data(), env.data());
        _exit(127);
    }
    close(pipeFds[1]);
    outputFd_ = pipeFds[0];
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0 && exitCode_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outputFd_ >= 0)
        close(outputFd_);
}

void ChildProcess::Drain(int timeoutMs)
{
    if (outputFd_ < 0)
        return;
    pollfd fd{outputFd_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0)
        return;
    char buffer[4096];
    const ssize_t n = read(outputFd_, buffer, sizeof buffer);
    if (n > 0) {
        output_.append(buffer, static_cast<std::size_t>(n));
    } else {
        close(outputFd_);
        outputFd_ = -1;
    }
}

bool ChildProcess::WaitForOutput(const std::string& text)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (output_.find(text) == std::string::npos) {
        if (outputFd_ < 0 || std::chrono::steady_clock::now() > deadline)
            return false;
        Drain(50);
    }
    return true;
}

void ChildProcess::Signal(int signal)
{
    if (pid_ > 0 && exitCode_ < 0)
        kill(pid_, signal);
}

int ChildProcess::WaitFor(int milliseconds)
{
    if (exitCode_ >= 0)
        return exitCode_;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (true) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            while (outputFd_ >= 0)
                Drain(100);
            return exitCode_;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        Drain(10);
    }
}

int ChildProcess::Wait() { return WaitFor(60000); }

const std::string& ChildProcess::output()
{
    Drain(0);
    return output_;
}

std::filesystem::path InstallProgramCopy(const std::string& program)
{
    const auto bin = TestDirectory() / "bin";
    std::filesystem::create_directories(bin);
    const auto lib = TestDirectory() / "lib";
    if (!std::filesystem::exists(lib))
        std::filesystem::create_directory_symlink(ProgramDirectory().parent_path() / "lib", lib);
    const auto copy = bin / program;
    std::filesystem::copy_file(ProgramDirectory() / program, copy, std::filesystem::copy_options::overwrite_existing);
    return copy;
}

} // namespace pixtera::test
