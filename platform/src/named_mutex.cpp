// SPDX-License-Identifier: MIT
#include <pixtera/platform/named_mutex.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace pixtera {
namespace {

// Makes `dir` (mode 0700) unless it exists; refuses one that is not ours or not private,
// since another user could otherwise hold our locks.
void EnsurePrivateDirectory(const std::filesystem::path& dir, bool mustBePrivate)
{
    std::error_code ec;
    std::filesystem::create_directories(dir.parent_path(), ec);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), "cannot create " + dir.string());
    struct stat info {};
    if (lstat(dir.c_str(), &info) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot inspect " + dir.string());
    if (!S_ISDIR(info.st_mode))
        throw std::system_error(ENOTDIR, std::generic_category(), dir.string() + " is not a directory");
    if (mustBePrivate && (info.st_uid != getuid() || (info.st_mode & 077) != 0))
        throw std::system_error(EPERM, std::generic_category(), dir.string() + " is not private to this user");
}

} // namespace

std::filesystem::path RuntimeDirectory()
{
    if (const char* dir = std::getenv("PIXTERA_RUNTIME_DIR"); dir && *dir) {
        EnsurePrivateDirectory(dir, false);
        return dir;
    }
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir == '/') {
        const auto path = std::filesystem::path(dir) / "pixtera";
        EnsurePrivateDirectory(path, false);
        return path;
    }
    const auto path = std::filesystem::path("/tmp") / ("pixtera-" + std::to_string(getuid()));
    EnsurePrivateDirectory(path, true);
    return path;
}

NamedMutex::NamedMutex(std::string_view name)
{
    try {
        const auto path = RuntimeDirectory() / (std::string(name) + ".lock");
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ < 0) {
            error_ = "cannot open " + path.string() + ": " + std::strerror(errno);
            return;
        }
        // The lock lives as long as the descriptor, so it vanishes with the process.
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            status_ = Status::Created;
        } else if (errno == EWOULDBLOCK) {
            status_ = Status::AlreadyExists;
        } else {
            error_ = "cannot lock " + path.string() + ": " + std::strerror(errno);
        }
    } catch (const std::system_error& e) {
        error_ = e.what();
    }
}

NamedMutex::~NamedMutex()
{
    if (fd_ >= 0)
        close(fd_);
}

} // namespace pixtera
