// SPDX-License-Identifier: MIT
#include "device_link.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>

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
#include <vector>

namespace pixtera::lcd {
namespace {

// i2c-dev takes at most 8192 bytes per message.
constexpr std::size_t kLargestWrite = 4096;

// i2c-dev takes at most this many messages in one combined transfer.
constexpr std::size_t kMessagesPerTransfer = I2C_RDWR_IOCTL_MAX_MSGS;

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

bool Refused(int error) { return error == EOPNOTSUPP || error == EINVAL || error == ENOTTY || error == ENOSYS; }

// An i2c-dev descriptor with the expander's address selected.
class KernelI2c final : public I2cTransfer {
public:
    KernelI2c(int fd, int address) : fd_(fd), address_(static_cast<std::uint16_t>(address)) {}

    int Combined(std::span<const std::string_view> messages) override
    {
        i2c_msg parts[kMessagesPerTransfer];
        if (messages.size() > kMessagesPerTransfer)
            return EINVAL;
        for (std::size_t i = 0; i < messages.size(); ++i) {
            parts[i].addr = address_;
            parts[i].flags = 0;
            parts[i].len = static_cast<std::uint16_t>(messages[i].size());
            // The kernel only reads a message written.
            parts[i].buf = reinterpret_cast<std::uint8_t*>(const_cast<char*>(messages[i].data()));
        }
        i2c_rdwr_ioctl_data transfer{parts, static_cast<std::uint32_t>(messages.size())};
        int result = 0;
        do
            result = ioctl(fd_, I2C_RDWR, &transfer);
        while (result < 0 && errno == EINTR);
        return result < 0 ? errno : 0;
    }
    int Write(std::string_view message) override
    {
        ssize_t written = 0;
        do
            written = write(fd_, message.data(), message.size());
        while (written < 0 && errno == EINTR);
        if (written < 0)
            return errno;
        return static_cast<std::size_t>(written) == message.size() ? 0 : EIO;
    }
    int Read(std::uint8_t& byte) override
    {
        ssize_t got = 0;
        do
            got = read(fd_, &byte, 1);
        while (got < 0 && errno == EINTR);
        return got == 1 ? 0 : (got < 0 ? errno : EIO);
    }
    int ReadBlock(std::span<std::uint8_t> bytes) override
    {
        ssize_t got = 0;
        do
            got = read(fd_, bytes.data(), bytes.size());
        while (got < 0 && errno == EINTR);
        return got == static_cast<ssize_t>(bytes.size()) ? 0 : (got < 0 ? errno : EIO);
    }

private:
    int fd_;
    std::uint16_t address_;
};

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
        ssize_t written = notSocket_ ? -1 : send(fd_, bytes.data(), chunk, MSG_NOSIGNAL);
        if (notSocket_ || (written < 0 && errno == ENOTSOCK)) {
            notSocket_ = true; // a tty: a failed send before every write would double the calls
            written = write(fd_, bytes.data(), chunk);
        }
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

std::uint64_t I2cClocks(std::span<const std::string_view> messages)
{
    if (messages.empty())
        return 0;
    std::uint64_t clocks = 1; // the stop
    for (const auto message : messages)
        clocks += 1 + 9 + 9 * message.size();
    return clocks;
}

bool DeviceLink::SendI2c(std::span<const std::string_view> messages, std::string& error)
{
    if (messages.empty())
        return true;
    if (combined_) {
        const int result = i2c_->Combined(messages);
        if (result == 0) {
            ++traffic_.transfers;
            if (i2c_->countsClocks())
                traffic_.clocks += I2cClocks(messages);
            return true;
        }
        if (!Refused(result)) {
            error = std::string(i2c_->busName()) + " transfer: " + std::strerror(result);
            return false;
        }
        combined_ = false; // this adapter takes one message at a time
    }
    for (const auto message : messages) {
        if (const int result = i2c_->Write(message); result != 0) {
            error = std::string(i2c_->busName()) + " write: " + std::strerror(result);
            return false;
        }
        ++traffic_.transfers;
        if (i2c_->countsClocks())
            traffic_.clocks += I2cClocks(std::span(&message, 1));
    }
    return true;
}

void DeviceLink::Wait(const LinkBatch::Segment& segment, const Sleeper& sleep, const ReadyProbe& ready)
{
    if (segment.pause.count() <= 0)
        return;
    if (segment.untilReady && ready) {
        // Each ask is a round trip on the bus; a module that stays busy is waited for no longer
        // than the pause.
        const auto deadline = std::chrono::steady_clock::now() + segment.pause;
        for (int asked = 0; asked <= segment.pause.count() / 50; ++asked) {
            const auto done = ready();
            if (!done)
                break; // it cannot tell after all: the whole pause
            if (*done || std::chrono::steady_clock::now() >= deadline)
                return;
        }
    }
    sleep(segment.pause);
}

bool DeviceLink::Send(const LinkBatch& batch, const Sleeper& sleep, std::string& error, const ReadyProbe& ready)
{
    traffic_ = {};
    std::vector<std::string_view> pending; // I2C messages not sent yet
    for (const auto& segment : batch.segments()) {
        if (!segment.bytes.empty()) {
            traffic_.bytes += segment.bytes.size();
            ++traffic_.messages;
        }
        if (usb_) {
            if (!segment.bytes.empty()) {
                if (const int result = usb_->Send(segment.bytes); result != 0) {
                    error = std::string("USB transfer: ") + std::strerror(result);
                    return false;
                }
                ++traffic_.transfers;
            }
        } else if (!i2c_) {
            // A serial line has no messages: what goes without a pause between goes in one write.
            unsent_.append(segment.bytes);
            if (segment.pause.count() > 0 && !FlushSerial(error))
                return false;
        } else {
            if (!segment.bytes.empty())
                pending.push_back(segment.bytes);
            if (pending.size() == kMessagesPerTransfer || segment.pause.count() > 0) {
                if (!SendI2c(pending, error))
                    return false;
                pending.clear();
            }
        }
        Wait(segment, sleep, ready);
    }
    if (!i2c_ && !usb_)
        return FlushSerial(error);
    return SendI2c(pending, error);
}

bool DeviceLink::FlushSerial(std::string& error)
{
    const bool written = WriteAll(unsent_, error);
    unsent_.clear();
    return written;
}

bool DeviceLink::WriteMessage(std::string_view message)
{
    if (i2c_)
        return i2c_->Write(message) == 0;
    if (usb_)
        return usb_->Send(message) == 0;
    return write(fd_, message.data(), message.size()) == static_cast<ssize_t>(message.size());
}

std::optional<std::uint8_t> DeviceLink::ReadByte()
{
    std::uint8_t byte = 0;
    if (i2c_)
        return i2c_->Read(byte) == 0 ? std::optional(byte) : std::nullopt;
    if (usb_)
        return std::nullopt; // its answers come by other ways
    return read(fd_, &byte, 1) == 1 ? std::optional(byte) : std::nullopt;
}

bool DeviceLink::Read(std::span<std::uint8_t> bytes)
{
    if (i2c_)
        return i2c_->ReadBlock(bytes) == 0;
    if (usb_)
        return false;
    return read(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
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
    DeviceLink link(fd, std::make_unique<KernelI2c>(fd, address));
    if (ioctl(fd, I2C_SLAVE, static_cast<unsigned long>(address)) < 0) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x", address);
        // ENOTTY: the path is something else than an I2C adapter (a tty, a file).
        error = errno == ENOTTY ? path + " is not an I2C bus" : Reason(path + " address " + hex);
        return std::nullopt;
    }
    return link;
}

std::optional<int> I2cBusClock(int bus)
{
    // A big-endian 32-bit cell.
    const std::string path = "/sys/bus/i2c/devices/i2c-" + std::to_string(bus) + "/of_node/clock-frequency";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    unsigned char cell[4];
    const ssize_t got = read(fd, cell, sizeof cell);
    close(fd);
    if (got != sizeof cell)
        return std::nullopt;
    const auto hz = static_cast<std::uint32_t>(cell[0] << 24 | cell[1] << 16 | cell[2] << 8 | cell[3]);
    if (hz < 1000 || hz > 5000000)
        return std::nullopt;
    return static_cast<int>(hz);
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
