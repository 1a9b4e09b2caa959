// SPDX-License-Identifier: MIT
#pragma once
// The service that was told to end, followed until it has: its bus name must be free and, where
// the kernel lets the designer hold its process (a pidfd, which never names another process),
// that process gone too, so that the next service finds its devices free. It is taken while the
// service still owns its name, so a process that has ended already is never mistaken for it.

#include <pixtera/platform/unique_fd.h>

#include <memory>
#include <string>

namespace sdbus {
class IConnection;
}

namespace pixtera::designer {

class EndingService {
public:
    // Follows the service whose unique bus name is `server` (empty, or a name that is no longer
    // the service's: nothing to follow).
    explicit EndingService(std::string server);
    ~EndingService();
    EndingService(const EndingService&) = delete;
    EndingService& operator=(const EndingService&) = delete;

    // True once its name is free and its process (when held) has exited.
    bool Ended() const;
    // Kills the process if it is still there; true when it was (and so was signalled).
    bool Kill();
    // It ran with a controlling terminal (a person started it there: what it drew in the
    // terminal has no terminal once a new one is started on its own).
    bool ranInTerminal() const { return ranInTerminal_; }

private:
    bool NameReleased() const;

    std::string server_;
    std::unique_ptr<sdbus::IConnection> connection_;
    UniqueFd process_;
    bool ranInTerminal_ = false;
};

} // namespace pixtera::designer
