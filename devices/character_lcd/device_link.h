// SPDX-License-Identifier: MIT
#pragma once
// The open device file of a module (an i2c-dev bus with the module's address chosen, or a tty in
// raw mode) and the sending of batches over it.

#include "link_batch.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace pixtera::lcd {

using Sleeper = std::function<void(std::chrono::microseconds)>;

class DeviceLink {
public:
    explicit DeviceLink(int fd) : fd_(fd) {}
    DeviceLink(DeviceLink&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    DeviceLink& operator=(DeviceLink&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    ~DeviceLink();

    // Writes every segment, pausing after each as it asks; false with the reason when the
    // device fails (unplugged, bus error).
    bool Send(const LinkBatch& batch, const Sleeper& sleep, std::string& error);

    // The descriptor, for poll(): a device that goes away reports POLLHUP or POLLERR.
    int fd() const { return fd_; }

private:
    bool WriteAll(std::string_view bytes, std::string& error);

    int fd_;
};

// /dev/i2c-<bus> with the expander at `address` selected.
std::optional<DeviceLink> OpenI2cDevice(int bus, int address, std::string& error);
std::optional<DeviceLink> OpenI2cDevice(const std::string& path, int address, std::string& error);
// A tty in raw mode (8N1, no flow control) at `baud`.
std::optional<DeviceLink> OpenSerialDevice(const std::string& path, int baud, std::string& error);
// Whether a serial speed is one the driver can set.
bool IsSupportedBaudRate(int baud);
// Puts a tty in raw mode (8N1, no flow control) at `baud`; false when it cannot be set so.
bool SetRawSpeed(int fd, int baud);

} // namespace pixtera::lcd
