// SPDX-License-Identifier: MIT
#pragma once
// The service holds a descriptor for every device, socket, plug-in host and cached sensor file.
// The soft limit of 1,024 that a session starts with is far below the hard limit, kept low only
// for programs that still use select(); the service does not, so it takes what it may.

namespace pixtera {

// Raises the soft limit on open files to the hard limit; says in the log when it cannot.
void RaiseOpenFileLimit();

} // namespace pixtera
