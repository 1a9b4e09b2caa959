// SPDX-License-Identifier: MIT
#include <pixtera/platform/spawn.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace pixtera {
namespace {

void AddStream(posix_spawn_file_actions_t& actions, const SpawnOptions::Stream& stream, int target, int mode)
{
    switch (stream.kind) {
    case SpawnOptions::Stream::Kind::Inherit: break;
    case SpawnOptions::Stream::Kind::Null:
        posix_spawn_file_actions_addopen(&actions, target, "/dev/null", mode, 0);
        break;
    case SpawnOptions::Stream::Kind::Descriptor: posix_spawn_file_actions_adddup2(&actions, stream.fd, target); break;
    }
}

} // namespace

pid_t Spawn(const SpawnOptions& options)
{
    if (options.argv.empty()) {
        errno = EINVAL;
        return -1;
    }
    std::vector<char*> argv;
    for (const auto& argument : options.argv)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    AddStream(actions, options.input, STDIN_FILENO, O_RDONLY);
    AddStream(actions, options.output, STDOUT_FILENO, O_WRONLY);
    AddStream(actions, options.error, STDERR_FILENO, O_WRONLY);
    for (const auto& [from, to] : options.passed)
        posix_spawn_file_actions_adddup2(&actions, from, to);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t every;
    sigfillset(&every);
    sigdelset(&every, SIGKILL); // neither can be set; asking would fail the spawn
    sigdelset(&every, SIGSTOP);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &every);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (options.newSession)
        flags |= POSIX_SPAWN_SETSID;
    if (options.newProcessGroup) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    posix_spawnattr_setflags(&attributes, flags);

    pid_t child = -1;
    const int failed = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        errno = failed;
        return -1;
    }
    return child;
}

} // namespace pixtera
