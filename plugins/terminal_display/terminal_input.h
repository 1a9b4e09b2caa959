// SPDX-License-Identifier: MIT
#pragma once
// The keys typed in the display's terminal: the terminal is read on a thread of its own, with
// its line editing and echo off (signals such as Ctrl+C still work) for as long as this lives,
// and as it was found again afterwards, also when the program ends without destroying it. The
// thread sleeps on the terminal and an eventfd, and waits kEscapeQuiet only after an ESC.

#include "terminal_keys.h"

#include <pixtera/platform/thread.h>
#include <pixtera/platform/unique_fd.h>

#include <functional>
#include <memory>
#include <string>

namespace pixtera {

class TerminalInput {
public:
    // None when `tty` is no terminal that can be read (a file, a pipe): such a display has no keys.
    static std::unique_ptr<TerminalInput> Open(const std::string& tty, std::function<void(LONG key)> pressed);
    TerminalInput(const TerminalInput&) = delete;
    TerminalInput& operator=(const TerminalInput&) = delete;
    ~TerminalInput();

    struct Mode; // the terminal's settings as they were found
    TerminalInput(UniqueFd tty, std::shared_ptr<Mode> found, std::function<void(LONG)> pressed);

private:
    void Run();

    UniqueFd tty_;
    const std::shared_ptr<Mode> found_;
    const std::function<void(LONG)> pressed_;
    TerminalKeys keys_; // the thread's
    UniqueFd stop_; // an eventfd: the thread's end
    Thread thread_; // last: it uses everything above
};

} // namespace pixtera
