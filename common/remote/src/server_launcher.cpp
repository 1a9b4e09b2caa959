#include "server_launcher.h"

#include <pixtera/platform/registry.h>
#include <pixtera/remote/service_name.h>
#include <pixtera/sdk/guids.h>

#include <sdbus-c++/sdbus-c++.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

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

// Starts the server detached from this process (its own session), with output discarded.
bool Launch(const std::string& program)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    // As COM does: the server knows it runs for its clients and ends with the last one.
    char embedding[] = "-Embedding";
    char* argv[] = {const_cast<char*>(program.c_str()), embedding, nullptr};
    pid_t child = 0;
    const bool started = posix_spawn(&child, program.c_str(), &actions, &attributes, argv, environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (started) {
        // Reap it when it ends, so no zombie stays behind in a long-lived client.
        std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    }
    return started;
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
    if (!Launch(program))
        return CO_E_SERVER_EXEC_FAILURE;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollPeriod);
        server = ServiceNameOwner(connection);
        if (!server.empty())
            return S_OK;
    }
    return CO_E_SERVER_EXEC_FAILURE;
}

} // namespace pixtera::remote
