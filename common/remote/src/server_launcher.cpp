// SPDX-License-Identifier: MIT
#include "server_launcher.h"

#include <pixtera/platform/registry.h>
#include <pixtera/platform/spawn.h>
#include <pixtera/remote/service_name.h>
#include <pixtera/sdk/guids.h>

#include <sdbus-c++/sdbus-c++.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace pixtera::remote {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(20);
constexpr auto kPollPeriod = std::chrono::milliseconds(20);

// The program registered as the Manager class's local server.
std::string RegisteredServer()
{
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, "CLSID\\" + FormatGuid(CLSID_Manager) + "\\LocalServer32") != ERROR_SUCCESS)
        return {};
    return key.QueryString("").value_or("");
}

// How a launched server ended: kRunning until it has, then its wait status.
constexpr int kRunning = -1;

// Starts the server detached from this process (its own session), with output discarded; `ended`
// says how it ended once it has.
bool Launch(const std::string& program, const std::shared_ptr<std::atomic<int>>& ended)
{
    SpawnOptions options;
    // As COM does: the server knows it runs for its clients and ends with the last one.
    options.argv = {program, "-Embedding"};
    options.output = SpawnOptions::Stream::Null();
    options.error = SpawnOptions::Stream::Null();
    options.newSession = true;
    const pid_t child = Spawn(options);
    if (child < 0)
        return false;
    // Reap it when it ends, so no zombie stays behind in a long-lived client.
    std::thread([child, ended] {
        int status = 0;
        waitpid(child, &status, 0);
        *ended = status;
    }).detach();
    return true;
}

} // namespace

HRESULT EnsureServerRunning(sdbus::IConnection& connection, std::string& server)
{
    server = ServiceNameOwner(connection);
    if (!server.empty())
        return S_OK;
    const std::string program = RegisteredServer();
    if (program.empty())
        return REGDB_E_CLASSNOTREG;
    auto ended = std::make_shared<std::atomic<int>>(kRunning);
    if (!Launch(program, ended))
        return CO_E_SERVER_EXEC_FAILURE;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollPeriod);
        server = ServiceNameOwner(connection);
        if (!server.empty())
            return S_OK;
        // A server that gave its name back is still ending for a moment, and a start beside it
        // ends at once, successfully: started again until the name is taken or the time is up.
        // One that failed is not started again.
        const int status = ended->exchange(kRunning);
        if (status != kRunning && WIFEXITED(status) && WEXITSTATUS(status) == 0 && !Launch(program, ended))
            return CO_E_SERVER_EXEC_FAILURE;
    }
    return CO_E_SERVER_EXEC_FAILURE;
}

} // namespace pixtera::remote
