// SPDX-License-Identifier: MIT
#pragma once
// What registering the service writes besides its systemd unit: the AppID keys, the Manager
// class (so CoCreateInstance can start the service) and the D-Bus activation file.

#include <pixtera/platform/self_registration.h>

#include <filesystem>

namespace pixtera {

inline constexpr const char* kServiceName = "Pixtera2";
inline constexpr const char* kBusName = "org.pixtera.Pixtera2";

RegistrationScript AppIdScript();
RegistrationScript ManagerClassScript();
Substitutions ServiceSubstitutions(const std::filesystem::path& program);

// The AppID key below HKEY_CLASSES_ROOT ("AppID\{...}").
std::string AppIdKey();

// $XDG_DATA_HOME/dbus-1/services/org.pixtera.Pixtera2.service
class DBusActivationFile {
public:
    static std::filesystem::path Path();
    // For a service, the bus asks systemd to start the unit instead (when it can).
    static bool Write(const std::filesystem::path& program, bool asService);
    static bool Remove();
};

} // namespace pixtera
