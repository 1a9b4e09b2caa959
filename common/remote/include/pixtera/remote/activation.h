// SPDX-License-Identifier: MIT
#pragma once
// Out-of-process objects: once installed, CoCreateInstance of the service's Manager class (a
// class registered with LocalServer32) finds the running service on the session bus, starting the
// registered program when needed, and returns proxies that implement the same interfaces.

#include <chrono>
#include <string>

namespace pixtera {

void InstallRemoteActivation();

// How long a call through a proxy waits for the service's answer (default two minutes). A
// program whose user interface thread calls the service sets a short one: a service that hangs
// then costs it a failed call, not a frozen window.
void SetRemoteCallTimeout(std::chrono::milliseconds timeout);

// What the service said about the calling thread's last failed call through a proxy ("call
// StopOutput first"), once; empty when it said nothing.
std::string TakeRemoteErrorReason();

} // namespace pixtera
