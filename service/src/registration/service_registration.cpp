// SPDX-License-Identifier: MIT
#include "service_registration.h"

#include "command_line.h"
#include "launch_environment.h"
#include "systemd_unit.h"

#include <pixtera/platform/paths.h>
#include <pixtera/sdk/guids.h>

#include <fstream>

namespace pixtera {
namespace {

// A word of a D-Bus service file's Exec line, which the bus splits like a shell does.
std::string ShellQuoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

std::string AppIdKey() { return "AppID\\" + FormatGuid(APPID_Pixtera2); }

RegistrationScript AppIdScript()
{
    return {
        .entries = {{AppIdKey(), "", kServiceName}, {"AppID\\Pixtera2.EXE", "AppID", "%APPID%"}},
        .recreateKeys = {},
        .sharedParents = {"AppID"},
    };
}

RegistrationScript ManagerClassScript()
{
    const std::string clsid = "CLSID\\%CLSID%";
    return {
        .entries = {{"Pixtera2.Manager.1", "", "Manager Class"},
                    {"Pixtera2.Manager.1\\CLSID", "", "%CLSID%"},
                    {"Pixtera2.Manager", "", "Manager Class"},
                    {"Pixtera2.Manager\\CLSID", "", "%CLSID%"},
                    {"Pixtera2.Manager\\CurVer", "", "Pixtera2.Manager.1"},
                    {clsid, "", "Manager Class"},
                    {clsid, "AppID", "%APPID%"},
                    {clsid + "\\ProgID", "", "Pixtera2.Manager.1"},
                    {clsid + "\\VersionIndependentProgID", "", "Pixtera2.Manager"},
                    {clsid + "\\Programmable", "", "", true},
                    {clsid + "\\LocalServer32", "", "%MODULE%"},
                    {clsid + "\\TypeLib", "", "%LIBID%"}},
        .recreateKeys = {clsid},
        .sharedParents = {"CLSID"},
    };
}

Substitutions ServiceSubstitutions(const std::filesystem::path& program)
{
    return {{"MODULE", program.string()},
            {"CLSID", FormatGuid(CLSID_Manager)},
            {"APPID", FormatGuid(APPID_Pixtera2)},
            {"LIBID", FormatGuid(LIBID_Pixtera2Lib)}};
}

std::filesystem::path DBusActivationFile::Path()
{
    return XdgDataHome() / "dbus-1" / "services" / (std::string(kBusName) + ".service");
}

bool DBusActivationFile::Write(const std::filesystem::path& program, bool asService)
{
    std::string exec;
    const auto overrides = LaunchOverrides();
    if (!overrides.empty()) {
        exec = "/usr/bin/env";
        for (const auto& [name, value] : overrides)
            exec += " " + ShellQuoted(name + "=" + value);
        exec += " ";
    }
    exec += ShellQuoted(program.string()) + " " + std::string(kEmbeddingSwitch);
    std::string text = "[D-BUS Service]\nName=" + std::string(kBusName) + "\nExec=" + exec + "\n";
    if (asService)
        text += "SystemdService=" + std::string(kUnitName) + "\n";

    std::error_code ec;
    std::filesystem::create_directories(Path().parent_path(), ec);
    const auto temporary = Path().string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::filesystem::remove(temporary, ec);
            return false;
        }
    }
    std::filesystem::rename(temporary, Path(), ec);
    return !ec;
}

bool DBusActivationFile::Remove()
{
    std::error_code ec;
    std::filesystem::remove(Path(), ec);
    return !ec;
}

} // namespace pixtera
