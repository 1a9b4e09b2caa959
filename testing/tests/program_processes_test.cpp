// SPDX-License-Identifier: MIT
// Ending a program copy's processes reaches those and nothing else of the machine.

#include "child_process.h"
#include "program_processes.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace pixtera::test;

// A shell that says which of SIGTERM and SIGWINCH reached it. SIGWINCH is sent after whatever
// else was sent and is numbered above SIGTERM, so a SIGTERM sent before it is always said first.
std::vector<std::string> Bystander(const std::string& named = "bystander")
{
    return {"/bin/sh", "-c", "trap 'echo TERM' TERM; trap 'echo WINCH' WINCH; echo ready; while :; do sleep 1; done",
            named};
}

bool WasTerminatedBefore(ChildProcess& bystander)
{
    bystander.Signal(SIGWINCH);
    EXPECT_TRUE(bystander.WaitForOutput("WINCH")) << bystander.output();
    return bystander.output().find("TERM") != std::string::npos;
}

std::filesystem::path SleepCopy()
{
    const auto copy = TestDirectory() / "bin" / "sleeper";
    std::filesystem::create_directories(copy.parent_path());
    std::filesystem::copy_file("/bin/sleep", copy, std::filesystem::copy_options::overwrite_existing);
    return copy;
}

bool Executes(const ChildProcess& child, const std::filesystem::path& program)
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/" + std::to_string(child.pid()) + "/exe", ec) == program;
}

TEST(EndProcessesRunning, EndsTheProcessesOfTheCopyAndNotOneThatMerelyNamesIt)
{
    const auto copy = SleepCopy();
    ChildProcess first({copy.string(), "60"});
    ChildProcess second({copy.string(), "60"});
    ChildProcess naming(Bystander(copy.string()));
    ASSERT_TRUE(naming.WaitForOutput("ready"));
    ASSERT_TRUE(Eventually([&] { return Executes(first, copy) && Executes(second, copy); }));

    EXPECT_EQ(EndProcessesRunning(copy), 2);
    EXPECT_EQ(first.WaitFor(0), 128 + SIGTERM) << "gone when the call returns";
    EXPECT_EQ(second.WaitFor(0), 128 + SIGTERM);
    EXPECT_FALSE(WasTerminatedBefore(naming)) << "its command line names the copy; it runs the shell";
    EXPECT_EQ(EndProcessesRunning(copy), 0) << "none left";
}

TEST(EndProcessesRunning, NoProgramOrARelativeOneSignalsNothing)
{
    ChildProcess bystander(Bystander());
    ASSERT_TRUE(bystander.WaitForOutput("ready"));

    EXPECT_EQ(EndProcessesRunning({}), 0);
    EXPECT_EQ(EndProcessesRunning("sh"), 0);
    EXPECT_EQ(EndProcessesRunning("bin/sh"), 0);
    EXPECT_FALSE(WasTerminatedBefore(bystander)) << "an empty pattern would match every process";
}

} // namespace
