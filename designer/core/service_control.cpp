#include "service_control.h"

#include <pixtera/platform/guid.h>
#include <pixtera/platform/registry.h>
#include <pixtera/sdk/guids.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace pixtera::designer {
namespace {

// `errorPipe`, when given, becomes the child's standard error.
pid_t Spawn(const std::vector<std::string>& argv, bool detached, int errorPipe = -1)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (errorPipe >= 0)
        posix_spawn_file_actions_adddup2(&actions, errorPipe, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (detached) // its own session: it lives on when the designer ends
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t child = -1;
    if (posix_spawnp(&child, args[0], &actions, &attributes, args.data(), environ) != 0)
        child = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

int Wait(pid_t child)
{
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the program to its end and returns what it wrote to standard error, each line without the
// program's "name: " prefix.
std::string RunForMessages(const std::filesystem::path& program, const char* argument)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return {};
    const pid_t child = Spawn({program.string(), argument}, false, ends[1]);
    close(ends[1]);
    std::string said;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(ends[0], buffer, sizeof buffer)) > 0)
        said.append(buffer, static_cast<std::size_t>(n));
    close(ends[0]);
    Wait(child);
    const std::string prefix = program.filename().string() + ": ";
    std::string text;
    std::size_t start = 0;
    while (start < said.size()) {
        const std::size_t end = std::min(said.find('\n', start), said.size());
        std::string_view line(said.data() + start, end - start);
        if (line.substr(0, prefix.size()) == prefix)
            line.remove_prefix(prefix.size());
        if (!line.empty())
            text.append(text.empty() ? "" : "\n").append(line);
        start = end + 1;
    }
    return text;
}

} // namespace

bool RunsAtSystemStartup()
{
    RegKey appId;
    if (appId.Open(HKEY_CLASSES_ROOT, "AppID\\" + FormatGuid(APPID_Pixtera2)) != ERROR_SUCCESS)
        return false;
    return appId.QueryString("LocalService").has_value();
}

int RunAndWait(const std::filesystem::path& program, const char* argument)
{
    return Wait(Spawn({program.string(), argument}, false));
}

std::string ReregisterService(const std::filesystem::path& program, bool atSystemStartup)
{
    RunAndWait(program, "-UnregServer");
    return RunForMessages(program, atSystemStartup ? "/Service" : "-RegServer");
}

StartedService StartService(const std::filesystem::path& program)
{
    if (RunsAtSystemStartup() && Wait(Spawn({"systemctl", "--user", "start", "pixtera2.service"}, false)) == 0)
        return {true, 0};
    const pid_t started = Spawn({program.string()}, true);
    return {started > 0, started > 0 ? started : 0};
}

} // namespace pixtera::designer
