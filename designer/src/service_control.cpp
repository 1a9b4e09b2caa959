#include "service_control.h"

#include <pixtera/platform/guid.h>
#include <pixtera/platform/registry.h>
#include <pixtera/sdk/guids.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace pixtera::designer {
namespace {

pid_t Spawn(const std::vector<std::string>& argv, bool detached)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
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

void ReregisterService(const std::filesystem::path& program, bool atSystemStartup)
{
    RunAndWait(program, "-UnregServer");
    RunAndWait(program, atSystemStartup ? "/Service" : "-RegServer");
}

bool StartService(const std::filesystem::path& program)
{
    if (RunsAtSystemStartup() && Wait(Spawn({"systemctl", "--user", "start", "pixtera2.service"}, false)) == 0)
        return true;
    const pid_t started = Spawn({program.string()}, true);
    if (started < 0)
        return false;
    // Reap it in the background so that it leaves no zombie once it ends.
    std::thread([started] { waitpid(started, nullptr, 0); }).detach();
    return true;
}

} // namespace pixtera::designer
