// SPDX-License-Identifier: MIT
#pragma once
// Reading a file that a configuration names: whoever wrote the configuration may have named a
// FIFO (opening it would wait for a writer for ever), a device without end (/dev/zero), a
// directory or a link into someone else's files. This never blocks, never reads more than asked
// for, and says what is wrong.

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pixtera {

struct BoundedFile {
    std::string text;
    std::string problem; // why nothing was read; empty when the file was read
    bool longer = false; // the file holds more than was read

    explicit operator bool() const { return problem.empty(); }
};

// At most `maxBytes` of a regular file; a larger one is read that far when `cutLonger`, else
// refused.
inline BoundedFile ReadBoundedFile(const std::string& path, std::size_t maxBytes, bool cutLonger)
{
    BoundedFile file;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        file.problem = std::string("cannot be opened: ") + std::strerror(errno);
        return file;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        file.problem = S_ISDIR(info.st_mode) ? "is a directory" : "is not a regular file";
        close(fd);
        return file;
    }
    file.longer = static_cast<std::size_t>(info.st_size) > maxBytes;
    if (file.longer && !cutLonger) {
        file.problem = "is larger than " + std::to_string(maxBytes / 1024) + " KiB";
        close(fd);
        return file;
    }
    file.text.resize(std::min(static_cast<std::size_t>(info.st_size), maxBytes));
    std::size_t got = 0;
    while (got < file.text.size()) {
        const ssize_t n = read(fd, file.text.data() + got, file.text.size() - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    file.text.resize(got);
    close(fd);
    return file;
}

} // namespace pixtera
