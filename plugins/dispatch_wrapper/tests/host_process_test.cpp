// SPDX-License-Identifier: MIT
// A host that ended stays this process's child until its HostProcess is gone: its number, and
// with it its process group, cannot be handed to another process meanwhile, so killing the group
// on destruction reaches the host's helpers and nobody else's.

#include "host_process.h"

#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/wait.h>

namespace {

using namespace pixtera;
using namespace pixtera::host;
using namespace pixtera::test;

// A "host" that takes one byte of the first call and exits with 4.
std::filesystem::path EndingHost()
{
    const auto script = TestDirectory() / "ending-host";
    std::ofstream(script) << "#!/bin/sh\nhead -c 1 <&3 >/dev/null\nexit 4\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script;
}

bool IsUnreapedChild(pid_t pid)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

TEST(HostProcess, AnEndedHostIsReapedOnlyWhenItsGroupHasBeenKilled)
{
    std::string error;
    auto host = HostProcess::Start(
        EndingHost(), "ending", [](const KeyEventMessage&) {}, error);
    ASSERT_TRUE(host) << error;
    const pid_t pid = host->pid();

    EXPECT_FALSE(host->Call(Call{Method::GetPluginName, {}, 0}, std::chrono::seconds(30), error));
    EXPECT_NE(error.find("the host ended (exit status 4)"), std::string::npos) << error;
    EXPECT_TRUE(IsUnreapedChild(pid)) << "its number is still ours";

    host.reset();
    siginfo_t info{};
    EXPECT_NE(waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG), 0) << "reaped, no zombie left";
}

} // namespace
