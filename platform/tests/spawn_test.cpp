// SPDX-License-Identifier: MIT
// Programs started through Spawn begin with nothing of the caller's signal handling.

#include <pixtera/platform/spawn.h>

#include "test_environment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace pixtera;

// A signal set of /proc/PID/status, without the two signals glibc keeps for itself (32 and 33),
// which no program can set and this one may have been handed by whatever started the tests.
std::uint64_t SignalSet(const std::string& status, const std::string& name)
{
    constexpr std::uint64_t kGlibcSignals = (1ull << 31) | (1ull << 32);
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + ":", 0) == 0)
            return std::stoull(line.substr(name.size() + 1), nullptr, 16) & ~kGlibcSignals;
    return ~0ull;
}

TEST(Spawn, TheChildHasAnEmptySignalMaskAndDefaultActionsWhateverTheCallerHas)
{
    // As the service's threads are: the termination signals blocked, SIGPIPE ignored.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&blocked, signal);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
    struct sigaction ignore {
    }, before{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &before);

    const auto file = test::TestDirectory() / "status";
    const int out = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(out, 0);
    SpawnOptions options;
    options.argv = {"cat", "/proc/self/status"};
    options.output = SpawnOptions::Stream::From(out);
    const pid_t child = Spawn(options);
    close(out);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    sigaction(SIGPIPE, &before, nullptr);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(SignalSet(text.str(), "SigBlk"), 0u) << text.str();
    EXPECT_EQ(SignalSet(text.str(), "SigIgn"), 0u) << text.str();
}

TEST(Spawn, AProgramThatCannotBeFoundIsAFailureWithItsReason)
{
    SpawnOptions options;
    options.argv = {"no-such-program-for-pixtera"};
    EXPECT_EQ(Spawn(options), -1);
    EXPECT_EQ(errno, ENOENT);
}

} // namespace
