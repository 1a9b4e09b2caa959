// SPDX-License-Identifier: MIT
#pragma once
// Ending the processes that run a program copy a test installed, such as a service the designer
// started on its own, which outlives the test otherwise. A process is picked by the file it
// executes, never by a pattern over command lines: a pattern that is empty, or that another
// program's arguments contain, reaches every process of the machine or someone else's.

#include <filesystem>

namespace pixtera::test {

// Sends SIGTERM to every process executing `program` (an absolute path; anything else signals
// nothing), each held by a pidfd that was checked against its executable, and waits until they
// are gone (SIGKILL for one still there after ten seconds). Returns how many were signalled.
int EndProcessesRunning(const std::filesystem::path& program);

} // namespace pixtera::test
