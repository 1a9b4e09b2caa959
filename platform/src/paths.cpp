// SPDX-License-Identifier: MIT
#include <pixtera/platform/paths.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace pixtera {
namespace {

std::filesystem::path FromEnvironment(const char* variable, const std::filesystem::path& fallback)
{
    // The XDG rules ignore empty and relative values.
    if (const char* value = std::getenv(variable); value && *value == '/')
        return value;
    return fallback;
}

} // namespace

std::filesystem::path HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::filesystem::path XdgConfigHome() { return FromEnvironment("XDG_CONFIG_HOME", HomeDirectory() / ".config"); }

std::filesystem::path XdgDataHome() { return FromEnvironment("XDG_DATA_HOME", HomeDirectory() / ".local" / "share"); }
std::filesystem::path XdgStateHome() { return FromEnvironment("XDG_STATE_HOME", HomeDirectory() / ".local" / "state"); }

std::filesystem::path PluginDirectory(const std::filesystem::path& programDirectory)
{
    std::error_code ec;
    auto beside = programDirectory / "plugins";
    if (std::filesystem::is_directory(beside, ec))
        return beside;
    return (programDirectory.parent_path() / PIXTERA_INSTALL_PLUGINDIR).lexically_normal();
}

} // namespace pixtera
