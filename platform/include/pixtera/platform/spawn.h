// SPDX-License-Identifier: MIT
#pragma once
// Starting another program, the one way every part of Pixtera does it: the child begins with an
// empty signal mask and every signal at its default action, whatever the caller blocks or
// ignores (a service that blocks SIGTERM in its threads must not hand that on to a designer or a
// command it starts).

#include <pixtera/platform/export.h>

#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace pixtera {

struct SpawnOptions {
    // A stream of the child: the caller's own, /dev/null, or one of the caller's descriptors.
    struct Stream {
        enum class Kind { Inherit, Null, Descriptor } kind = Kind::Inherit;
        int fd = -1;
        static Stream Null() { return {Kind::Null, -1}; }
        static Stream From(int fd) { return {Kind::Descriptor, fd}; }
    };

    std::vector<std::string> argv; // argv[0] is looked up on PATH when it has no '/'
    Stream input = Stream::Null();
    Stream output;
    Stream error;
    std::vector<std::pair<int, int>> passed; // (caller's descriptor, the child's number)
    bool newSession = false; // setsid: it outlives the caller's session and terminal
    bool newProcessGroup = false; // its own group, so that the group can be killed as one
};

// The child's pid, or -1 with errno set.
PX_API pid_t Spawn(const SpawnOptions& options);

} // namespace pixtera
