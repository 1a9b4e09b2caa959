// SPDX-License-Identifier: MIT
#include "record_directory.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixtera::fps {

Descriptor::~Descriptor()
{
    if (fd_ >= 0)
        close(fd_);
}

std::string UserRecordDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/' || std::strlen(runtime) > PATH_MAX / 2)
        return {};
    return std::string(runtime) + "/" + kRecordDirectoryName;
}

Descriptor OpenUserRecordDirectory(bool create, std::string& why)
{
    why.clear();
    const std::string path = UserRecordDirectory();
    if (path.empty())
        return {};
    if (create && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        why = path + " cannot be made (" + std::strerror(errno) + ")";
        return {};
    }
    Descriptor directory(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directory) {
        if (errno != ENOENT || create)
            why = path + (errno == ELOOP || errno == ENOTDIR ? " is not a directory" : " cannot be opened");
        return {};
    }
    struct stat info {};
    if (fstat(directory.get(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid() ||
        (info.st_mode & 07777) != 0700) {
        why = path + " is not a directory of this user's with mode 0700";
        return {};
    }
    return directory;
}

} // namespace pixtera::fps
