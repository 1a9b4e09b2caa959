#include <pixtera/configuration_file.h>

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/paths.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pixtera {
namespace {

bool IsWritableDirectory(const std::filesystem::path& dir) { return access(dir.c_str(), W_OK | X_OK) == 0; }

// Creates the file only if no file of that name exists (O_EXCL), so nothing is ever overwritten.
void CreateDefault(const std::filesystem::path& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno != EEXIST)
            LogError("Cannot create " + path.string() + ": " + std::strerror(errno));
        return;
    }
    const auto written = write(fd, kDefaultConfiguration.data(), kDefaultConfiguration.size());
    if (written != static_cast<ssize_t>(kDefaultConfiguration.size()))
        LogError("Cannot write " + path.string() + ": " + std::strerror(errno));
    close(fd);
}

} // namespace

std::filesystem::path ConfigFileLocation(const std::filesystem::path& programDirectory)
{
    if (IsWritableDirectory(programDirectory))
        return programDirectory / kConfigFileName;
    return XdgConfigHome() / "pixtera" / kConfigFileName;
}

std::filesystem::path ConfigFilePath(const std::filesystem::path& programDirectory)
{
    const auto path = ConfigFileLocation(programDirectory);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        CreateDefault(path);
    return path;
}

std::filesystem::path ConfigFilePath() { return ConfigFilePath(ExecutablePath().parent_path()); }

} // namespace pixtera
