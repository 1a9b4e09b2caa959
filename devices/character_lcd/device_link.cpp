// SPDX-License-Identifier: MIT
#include "device_link.h"

#include <linux/i2c-dev.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace pixtera::lcd {
namespace {

// i2c-dev takes at most 8192 bytes per message.
constexpr std::size_t kLargestWrite = 4096;

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

speed_t SpeedOf(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

} // namespace

DeviceLink::~DeviceLink()
{
    if (fd_ >= 0)
        close(fd_);
}

bool DeviceLink::WriteAll(std::string_view bytes, std::string& error)
{
    while (!bytes.empty()) {
        const std::size_t chunk = std::min(bytes.size(), kLargestWrite);
        // A socket stands in for the device in tests: its closed peer must fail the write, not
        // raise SIGPIPE.
        ssize_t written = send(fd_, bytes.data(), chunk, MSG_NOSIGNAL);
        if (written < 0 && errno == ENOTSOCK)
            written = write(fd_, bytes.data(), chunk);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error = written < 0 ? Reason("write") : "write: nothing was taken";
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool DeviceLink::Send(const LinkBatch& batch, const Sleeper& sleep, std::string& error)
{
    for (const auto& segment : batch.segments()) {
        if (!WriteAll(segment.bytes, error))
            return false;
        if (segment.pause.count() > 0)
            sleep(segment.pause);
    }
    return true;
}

std::optional<DeviceLink> OpenI2cDevice(int bus, int address, std::string& error)
{
    return OpenI2cDevice("/dev/i2c-" + std::to_string(bus), address, error);
}

std::optional<DeviceLink> OpenI2cDevice(const std::string& path, int address, std::string& error)
{
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error = Reason(path);
        return std::nullopt;
    }
    DeviceLink link(fd);
    if (ioctl(fd, I2C_SLAVE, static_cast<unsigned long>(address)) < 0) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x", address);
        // ENOTTY: the path is something else than an I2C adapter (a tty, a file).
        error = errno == ENOTTY ? path + " is not an I2C bus" : Reason(path + " address " + hex);
        return std::nullopt;
    }
    return link;
}

bool IsSupportedBaudRate(int baud) { return SpeedOf(baud) != B0; }

bool SetRawSpeed(int fd, int baud)
{
    termios tty{};
    if (SpeedOf(baud) == B0 || tcgetattr(fd, &tty) < 0)
        return false;
    cfmakeraw(&tty);
    tty.c_cflag |= CLOCAL | CREAD;
    tty.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS | PARENB);
    cfsetispeed(&tty, SpeedOf(baud));
    cfsetospeed(&tty, SpeedOf(baud));
    return tcsetattr(fd, TCSANOW, &tty) == 0;
}

std::optional<DeviceLink> OpenSerialDevice(const std::string& path, int baud, std::string& error)
{
    // Not blocking in open: a tty without carrier would wait there.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = Reason(path);
        return std::nullopt;
    }
    DeviceLink link(fd);
    termios tty{};
    if (tcgetattr(fd, &tty) < 0) {
        error = Reason(path + " is no serial port");
        return std::nullopt;
    }
    // Held exclusively, so that no other program (pixtera-detect's probe among them) writes into
    // the module's stream.
    if (flock(fd, LOCK_EX | LOCK_NB) < 0) {
        error = path + " is in use by another program";
        return std::nullopt;
    }
    ioctl(fd, TIOCEXCL);
    if (!SetRawSpeed(fd, baud) || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) < 0) {
        error = Reason(path);
        return std::nullopt;
    }
    return link;
}

} // namespace pixtera::lcd
