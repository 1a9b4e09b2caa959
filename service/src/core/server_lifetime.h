// SPDX-License-Identifier: MIT
#pragma once
// What the service's COM objects need of the process that hosts them: the module's lock count
// (outstanding references to the Manager) and a delayed quit.

#include <pixtera/platform/types.h>

namespace pixtera {

class ServerLifetime {
public:
    // Atomic; return the new count.
    virtual LONG Lock() = 0;
    virtual LONG Unlock() = 0;
    // Ends the server's main loop after `milliseconds`, from a short-lived thread.
    virtual void QuitAfter(DWORD milliseconds) = 0;

protected:
    ~ServerLifetime() = default;
};

} // namespace pixtera
