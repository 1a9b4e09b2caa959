// SPDX-License-Identifier: MIT
#pragma once
// Reading a file that a configuration names: whoever wrote the configuration may have named a
// FIFO (opening it would wait for a writer for ever), a device without end (/dev/zero), a
// directory or a link into someone else's files. This never blocks, follows a last symbolic
// link only when asked to, never reads more than asked for, and says what is wrong.

#include <pixtera/platform/unique_fd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pixtera {

// Who may own a file. What decides how a connection is made or proves who we are (a CA, a
// password, the file naming them) belongs to this user or to root: anyone else could change it
// under us.
// A file shared through a place others can write too (/dev/shm) is trusted only from this user.
enum class FileOwner { Anyone, ThisUserOrRoot, ThisUser };

// Whether a symbolic link in the last place is followed. Only for files the user keeps for
// themselves (their configuration, their designs), which they may well keep elsewhere.
enum class LastLink { Refused, Followed };

struct CheckedFile {
    UniqueFd fd; // open for reading, not blocking
    struct stat info {};
    std::string problem; // why there is none: "is not a regular file", "is a symbolic link"

    explicit operator bool() const { return problem.empty(); }
};

// Opens a regular file for reading without waiting on a FIFO or following a last symbolic link,
// checks its owner and, unless `anySize`, that it holds at most `maxBytes`.
inline CheckedFile OpenCheckedFile(const std::string& path, std::size_t maxBytes, bool anySize = false,
                                   FileOwner owner = FileOwner::Anyone, LastLink link = LastLink::Refused)
{
    CheckedFile file;
    const int noFollow = link == LastLink::Refused ? O_NOFOLLOW : 0;
    file.fd.reset(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | noFollow));
    if (!file.fd) {
        file.problem = errno == ELOOP ? std::string("is a symbolic link")
                                      : std::string("cannot be opened: ") + std::strerror(errno);
        return file;
    }
    if (fstat(file.fd.get(), &file.info) != 0)
        file.problem = std::string("cannot be read: ") + std::strerror(errno);
    else if (S_ISDIR(file.info.st_mode))
        file.problem = "is a directory";
    else if (!S_ISREG(file.info.st_mode))
        file.problem = "is not a regular file";
    else if ((owner == FileOwner::ThisUserOrRoot && file.info.st_uid != geteuid() && file.info.st_uid != 0) ||
             (owner == FileOwner::ThisUser && file.info.st_uid != geteuid()))
        file.problem = "belongs to another user";
    else if (!anySize && static_cast<std::size_t>(file.info.st_size) > maxBytes)
        file.problem = "is larger than " + std::to_string(maxBytes / 1024) + " KiB";
    if (!file.problem.empty())
        file.fd.reset();
    return file;
}

struct BoundedFile {
    std::string text;
    std::string problem; // why nothing was read; empty when the file was read
    bool longer = false; // the file holds more than was read
    mode_t mode = 0; // the file's type and permissions, as read
    gid_t group = 0; // the file's group, as read

    explicit operator bool() const { return problem.empty(); }
};

// At most `maxBytes` of a regular file; a larger one is read that far when `cutLonger`, else
// refused.
inline BoundedFile ReadBoundedFile(const std::string& path, std::size_t maxBytes, bool cutLonger,
                                   FileOwner owner = FileOwner::Anyone, LastLink link = LastLink::Refused)
{
    BoundedFile file;
    const CheckedFile checked = OpenCheckedFile(path, maxBytes, cutLonger, owner, link);
    if (!checked) {
        file.problem = checked.problem;
        return file;
    }
    file.mode = checked.info.st_mode;
    file.group = checked.info.st_gid;
    file.longer = static_cast<std::size_t>(checked.info.st_size) > maxBytes;
    file.text.resize(std::min(static_cast<std::size_t>(checked.info.st_size), maxBytes));
    std::size_t got = 0;
    while (got < file.text.size()) {
        const ssize_t n = read(checked.fd.get(), file.text.data() + got, file.text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    file.text.resize(got);
    return file;
}

} // namespace pixtera
