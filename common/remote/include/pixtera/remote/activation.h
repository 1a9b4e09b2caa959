#pragma once
// Out-of-process objects: once installed, CoCreateInstance of the service's Manager class (a
// class registered with LocalServer32) finds the running service on the session bus, starting the
// registered program when needed, and returns proxies that implement the same interfaces.

namespace pixtera {

void InstallRemoteActivation();

} // namespace pixtera
