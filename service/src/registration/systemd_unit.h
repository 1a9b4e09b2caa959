// SPDX-License-Identifier: MIT
#pragma once
// The service's systemd user unit, in place of a Windows service entry: pixtera2.service in
// $XDG_CONFIG_HOME/systemd/user, enabled by the default.target.wants link, which works without
// a running user manager.

#include <filesystem>
#include <string>

namespace pixtera {

inline constexpr const char* kUnitName = "pixtera2.service";

class SystemdUserUnit {
public:
    enum class Outcome { Done, NoUnitDirectory, CannotWrite };

    explicit SystemdUserUnit(std::filesystem::path program);

    static std::filesystem::path Directory();
    std::filesystem::path UnitFile() const { return Directory() / kUnitName; }
    std::filesystem::path WantsLink() const { return Directory() / "default.target.wants" / kUnitName; }

    bool IsInstalled() const;
    // Writes the unit and its link, or neither.
    Outcome Install() const;
    // Asks a running user manager to stop the unit, then removes the link and the file.
    Outcome Uninstall() const;

    std::string Text() const;

private:
    std::filesystem::path program_;
};

// Runs `systemctl --user ARGS` and ignores the outcome: there may be no user manager.
void TellUserManager(std::initializer_list<const char*> arguments);

} // namespace pixtera
