// SPDX-License-Identifier: MIT
#pragma once
// A file descriptor that closes itself, and opening a file of one's own in a directory others may
// write to (/tmp): links are not followed, and a file someone else made is refused.

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pixtera {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Writes all of `bytes`; false on an error.
inline bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Opens (or, with O_CREAT in `flags`, makes with mode 0600) a regular file that belongs to this
// user, never through a symbolic link and never waiting on a FIFO. None, with `why`, otherwise.
inline UniqueFd OpenOwnFile(const std::string& path, int flags, std::string* why)
{
    UniqueFd fd(open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
    if (!fd) {
        if (why)
            *why = errno == ELOOP ? std::string("is a symbolic link")
                                  : std::string("cannot be opened: ") + std::strerror(errno);
        return fd;
    }
    struct stat file {};
    if (fstat(fd.get(), &file) != 0 || !S_ISREG(file.st_mode) || file.st_uid != geteuid()) {
        if (why)
            *why = "is not a regular file of this user";
        return {};
    }
    // Writes that block are fine once it is known to be a file.
    fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace pixtera
