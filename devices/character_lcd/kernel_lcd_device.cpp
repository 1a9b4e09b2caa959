// SPDX-License-Identifier: MIT
#include "kernel_lcd_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace pixtera::lcd {

std::optional<DeviceLink> OpenKernelLcdDevice(const std::string& path, std::string& error)
{
    // Non-blocking: a FIFO without a reader fails at once (ENXIO) instead of waiting in open, and a
    // full one fails the write instead of holding the writer thread.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int cause = errno;
        if (cause == ELOOP)
            error = path + " is a link: name the device itself";
        else if (cause == EBUSY)
            error = path + " is in use by another program (the kernel lets one at a time write to it)";
        else
            error = path + ": " + std::strerror(cause);
        errno = cause; // the writer tells a device that is gone by it
        return std::nullopt;
    }
    DeviceLink link(fd);
    struct stat status {};
    if (fstat(fd, &status) < 0) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    const bool kernelLcd =
        S_ISCHR(status.st_mode) && major(status.st_rdev) == kKernelLcdMajor && minor(status.st_rdev) == kKernelLcdMinor;
    if (!kernelLcd && !S_ISFIFO(status.st_mode)) {
        error = path + " is not the kernel's LCD device (character device " + std::to_string(kKernelLcdMajor) + ":" +
                std::to_string(kKernelLcdMinor) + ")";
        errno = EINVAL;
        return std::nullopt;
    }
    return link;
}

} // namespace pixtera::lcd
