// SPDX-License-Identifier: MIT
// pixtera-command-runner -- COMMAND...: runs one command of Pixtera.CommandData or of a display's
// menu and answers for everything it starts. As the child subreaper, it inherits every process
// the command leaves behind, whatever session or group they moved to; when the command ends, or
// when the runner is told to stop (SIGTERM: the deadline, the plug-in's end) or its parent dies,
// it kills them all and ends with the command's exit status. 254: the command could not be
// started.

#include <pixtera/platform/process_list.h>
#include <pixtera/platform/spawn.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kNotStarted = 254;

// Kills this runner's children until it has none: each one killed hands its own children over.
void KillEverythingLeft()
{
    for (;;) {
        for (const pid_t child : pixtera::ChildrenOf(getpid(), true))
            kill(child, SIGKILL);
        if (waitpid(-1, nullptr, 0) < 0 && errno == ECHILD)
            return;
    }
}

int ExitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || std::strcmp(argv[1], "--") != 0) {
        std::fprintf(
            stderr,
            "usage: pixtera-command-runner -- COMMAND [ARGUMENT...] (started by Pixtera.CommandData and menus)\n");
        return kNotStarted;
    }
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    sigset_t handled;
    sigemptyset(&handled);
    sigaddset(&handled, SIGTERM);
    sigaddset(&handled, SIGCHLD);
    sigprocmask(SIG_BLOCK, &handled, nullptr);
    if (getppid() == 1)
        return kNotStarted; // the plug-in is gone already

    pixtera::SpawnOptions options;
    options.argv.assign(argv + 2, argv + argc);
    options.input = pixtera::SpawnOptions::Stream{};
    const pid_t command = pixtera::Spawn(options);
    if (command < 0) {
        std::fprintf(stderr, "%s: %s\n", argv[2], std::strerror(errno));
        return kNotStarted;
    }
    int status = 0;
    bool ended = false;
    while (!ended) {
        int signal = 0;
        sigwait(&handled, &signal);
        if (signal == SIGTERM)
            break;
        for (pid_t reaped; (reaped = waitpid(-1, &status, WNOHANG)) > 0;)
            if (reaped == command) {
                ended = true;
                break;
            }
    }
    KillEverythingLeft();
    return ended ? ExitStatus(status) : 128 + SIGTERM;
}
