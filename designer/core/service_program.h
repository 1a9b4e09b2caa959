// SPDX-License-Identifier: MIT
#pragma once
// The service program itself, outside any connection to it: whether it is registered to run at
// system start, registering it again, starting it, its log, and telling a running one to read the
// power policy again.

#include <filesystem>
#include <string>

#include <sys/types.h>

namespace pixtera::designer {

// True when the service is registered as a systemd user service (its AppID's LocalService).
bool RunsAtSystemStartup();

// Runs `program -UnregServer`, then `program /Service` or `program -RegServer`, waiting for each;
// a program that cannot be started is passed over. Returns what the registration had to say
// (why the service will not start at boot, for instance); empty when nothing.
std::string ReregisterService(const std::filesystem::path& program, bool atSystemStartup);

struct StartedService {
    bool ok = false;
    pid_t pid = 0; // the program started, which the caller reaps; 0 when systemd started it
};

// Starts the service as its registration says: through systemd when it is a systemd service,
// else as a program of its own (its own session) that outlives the designer.
StartedService StartService(const std::filesystem::path& program);

// Where a service the designer starts writes its log: pixtera2.log in the user's runtime
// directory, new at every start.
std::filesystem::path ServiceLogFile();
// The last `count` lines of a text file of this user's, for a message; only its last 16 kB are
// read. Anything else at that path (a FIFO, a device, a link) gives none, without waiting.
std::string LastLines(const std::filesystem::path& file, std::size_t count);

// Has a running service read the user's power policy again (a service that is not running reads
// it when it starts: it is not started for this). Empty, or why the service could not be told.
std::string ReloadServicePowerPolicy();

// Runs a program to its end; its exit code, or -1 when it could not be run.
int RunAndWait(const std::filesystem::path& program, const char* argument);

} // namespace pixtera::designer
