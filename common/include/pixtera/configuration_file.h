#pragma once
// Where the service's configuration file pixtera2.xml lives, shared by the service and the
// designer: beside the programs when their directory is writable, else in the user's XDG
// configuration directory.

#include <filesystem>
#include <string_view>

namespace pixtera {

inline constexpr std::string_view kConfigFileName = "pixtera2.xml";
inline constexpr std::string_view kDefaultConfiguration =
    "<PixteraConfiguration><drivers></drivers></PixteraConfiguration>";

// The path for programs in `programDirectory` (default: the running program's directory).
std::filesystem::path ConfigFileLocation(const std::filesystem::path& programDirectory);

// The path, after creating the file with the default content when it does not exist. A file
// that exists is never written, even when it cannot be read.
std::filesystem::path ConfigFilePath();
std::filesystem::path ConfigFilePath(const std::filesystem::path& programDirectory);

} // namespace pixtera
