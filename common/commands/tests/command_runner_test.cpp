// SPDX-License-Identifier: MIT
// Running one command: its output and status, its deadline, and what it leaves behind.

#include "test_environment.h"

#include <pixtera/command_runner.h>
#include <pixtera/platform/process_list.h>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace pixtera;
using namespace std::chrono_literals;

const std::atomic<bool> kNoCancel{false};

TEST(CommandRunner, OutputsTimeoutsAndMissingCommands)
{
    const auto echoed = RunCommand({"echo", "21"}, 2s, kNoCancel);
    EXPECT_EQ(echoed.outcome, CommandResult::Outcome::Finished);
    EXPECT_EQ(echoed.exitCode, 0);
    EXPECT_EQ(echoed.output, "21\n");

    const auto failed = RunCommand({"sh", "-c", "echo oops >&2; exit 3"}, 2s, kNoCancel);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_EQ(failed.errors, "oops\n");

    const auto slow = RunCommand({"sh", "-c", "sleep 5; echo late"}, 200ms, kNoCancel);
    EXPECT_EQ(slow.outcome, CommandResult::Outcome::TimedOut);
    EXPECT_EQ(slow.output, "") << "killed at its deadline, with what it started, not waited for";

    EXPECT_EQ(RunCommand({"no-such-command-for-pixtera"}, 1s, kNoCancel).outcome, CommandResult::Outcome::NotStarted);

    const auto chatty = RunCommand({"sh", "-c", "head -c 5000000 /dev/zero; echo done >&2"}, 10s, kNoCancel);
    EXPECT_EQ(chatty.outcome, CommandResult::Outcome::Finished) << "all of it was read";
    EXPECT_EQ(chatty.output.size(), kMaxOutput) << "and only the bound was kept";
}

bool Running(pid_t pid) { return ProcessRuns(pid); }

pid_t PidIn(const std::filesystem::path& file)
{
    pid_t pid = 0;
    for (int i = 0; i < 2000 && pid == 0; ++i) {
        std::ifstream(file) >> pid;
        if (pid == 0)
            std::this_thread::sleep_for(1ms);
    }
    return pid;
}

class CommandRunnerProgram : public ::testing::Test {
protected:
    std::filesystem::path runner = test::ProgramDirectory() / "pixtera-command-runner";
    std::filesystem::path pidFile = test::TestDirectory() / "helper.pid";
    // A helper in a session of its own, its pid written down, then the command itself.
    std::vector<std::string> WithHelper(const std::string& then)
    {
        return {"sh", "-c", "setsid sleep 30 & echo $! > " + pidFile.string() + "; " + then};
    }
};

TEST_F(CommandRunnerProgram, HelpersInSessionsOfTheirOwnGoAtTheDeadlineAndWhenTheCommandEnds)
{
    const auto hung = RunCommand(WithHelper("sleep 30"), 300ms, kNoCancel, runner);
    EXPECT_EQ(hung.outcome, CommandResult::Outcome::TimedOut);
    const pid_t first = PidIn(pidFile);
    ASSERT_GT(first, 0);
    EXPECT_TRUE(test::Eventually([&] { return !Running(first); })) << "the helper outlived the deadline";
    std::filesystem::remove(pidFile);

    const auto finished = RunCommand(WithHelper("echo done"), 10s, kNoCancel, runner);
    EXPECT_EQ(finished.outcome, CommandResult::Outcome::Finished)
        << "the helper holding its output (30 s) did not keep it waiting past its deadline";
    EXPECT_EQ(finished.output, "done\n");
    const pid_t second = PidIn(pidFile);
    ASSERT_GT(second, 0);
    EXPECT_TRUE(test::Eventually([&] { return !Running(second); }));

    EXPECT_EQ(RunCommand({"no-such-command-for-pixtera"}, 1s, kNoCancel, runner).outcome,
              CommandResult::Outcome::NotStarted);
}

TEST_F(CommandRunnerProgram, ACommandRunningWhenItsOwnerDiesGoesWithIt)
{
    const pid_t owner = fork();
    if (owner == 0) {
        std::thread([this] { RunCommand(WithHelper("sleep 30"), 60s, kNoCancel, runner); }).join();
        _exit(0);
    }
    const pid_t helper = PidIn(pidFile);
    ASSERT_GT(helper, 0);
    kill(owner, SIGKILL); // as a service that is killed
    waitpid(owner, nullptr, 0);
    EXPECT_TRUE(test::Eventually([&] { return !Running(helper); })) << "the command's helper outlived the service";
}

} // namespace
