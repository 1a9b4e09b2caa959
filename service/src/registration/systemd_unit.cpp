// SPDX-License-Identifier: MIT
#include "systemd_unit.h"

#include "launch_environment.h"
#include "unit_template.h"

#include <pixtera/platform/paths.h>
#include <pixtera/platform/spawn.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <vector>

namespace pixtera {
namespace {

// A word of a unit file: '%' is a specifier there, quotes and backslashes are escaped.
std::string UnitQuoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '%')
            out += "%%";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out + "\"";
}

bool WriteAtomically(const std::filesystem::path& path, const std::string& text)
{
    const auto temporary = path.parent_path() / ("." + path.filename().string() + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec)
        std::filesystem::remove(temporary, ec);
    return !ec;
}

} // namespace

SystemdUserUnit::SystemdUserUnit(std::filesystem::path program) : program_(std::move(program)) {}

std::filesystem::path SystemdUserUnit::Directory() { return XdgConfigHome() / "systemd" / "user"; }

bool SystemdUserUnit::IsInstalled() const
{
    std::error_code ec;
    return std::filesystem::exists(UnitFile(), ec);
}

std::string SystemdUserUnit::Text() const
{
    std::string exec = "ExecStart=" + UnitQuoted(program_.string()) + "\n";
    for (const auto& [name, value] : LaunchOverrides())
        exec += "Environment=" + UnitQuoted(name + "=" + value) + "\n";
    std::string text(kUnitTemplate);
    const auto at = text.find(kUnitTemplateExec);
    text.replace(at, kUnitTemplateExec.size(), exec);
    return text;
}

SystemdUserUnit::Outcome SystemdUserUnit::Install() const
{
    std::error_code ec;
    std::filesystem::create_directories(WantsLink().parent_path(), ec);
    if (ec)
        return Outcome::NoUnitDirectory;
    if (!WriteAtomically(UnitFile(), Text()))
        return Outcome::CannotWrite;
    std::filesystem::remove(WantsLink(), ec);
    std::filesystem::create_symlink(std::filesystem::path("..") / kUnitName, WantsLink(), ec);
    if (ec) {
        std::filesystem::remove(UnitFile(), ec);
        return Outcome::CannotWrite;
    }
    TellUserManager({"daemon-reload"});
    return Outcome::Done;
}

SystemdUserUnit::Outcome SystemdUserUnit::Uninstall() const
{
    TellUserManager({"stop", kUnitName});
    std::error_code ec;
    std::filesystem::remove(WantsLink(), ec);
    if (ec)
        return Outcome::CannotWrite;
    std::filesystem::remove(UnitFile(), ec);
    if (ec)
        return Outcome::CannotWrite;
    TellUserManager({"daemon-reload"});
    return Outcome::Done;
}

void TellUserManager(std::initializer_list<const char*> arguments)
{
    // Only a session with a user manager can be told anything.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || access((std::string(runtime) + "/systemd/private").c_str(), F_OK) != 0)
        return;
    SpawnOptions options;
    options.argv = {"systemctl", "--user", "--quiet"};
    options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
    options.input = SpawnOptions::Stream{};
    options.output = SpawnOptions::Stream::Null();
    options.error = SpawnOptions::Stream::Null();
    if (const pid_t child = Spawn(options); child > 0)
        waitpid(child, nullptr, 0);
}

} // namespace pixtera
