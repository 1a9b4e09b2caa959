// SPDX-License-Identifier: MIT
#pragma once
// The open device file of a module (an i2c-dev bus with the module's address chosen, or a tty in
// raw mode) and the sending of batches over it.

#include "link_batch.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace pixtera::lcd {

using Sleeper = std::function<void(std::chrono::microseconds)>;
// Whether the module is done with what it was sent; nothing when it cannot tell.
using ReadyProbe = std::function<std::optional<bool>()>;

// The kernel's side of an I2C link, apart so that tests put a model behind it; also a link whose
// every message is a transaction of its own (a packet module's command and answer).
class I2cTransfer {
public:
    virtual ~I2cTransfer() = default;
    // How the link's errors and traffic are told: an I2C bus counts its clocks.
    virtual const char* busName() const { return "I2C"; }
    virtual bool countsClocks() const { return true; }
    // The messages as one transfer: repeated starts between them, one stop at the end. 0 or the
    // errno; EOPNOTSUPP, EINVAL or ENOTTY: the adapter takes no such transfer, nothing was sent.
    virtual int Combined(std::span<const std::string_view> messages) = 0;
    // One message on its own (a write() to i2c-dev); 0 or the errno.
    virtual int Write(std::string_view message) = 0;
    // A one-byte read; 0 or the errno.
    virtual int Read(std::uint8_t& byte) = 0;
    // Bytes read in one message; 0 or the errno.
    virtual int ReadBlock(std::span<std::uint8_t> bytes)
    {
        for (auto& byte : bytes)
            if (const int error = Read(byte); error != 0)
                return error;
        return 0;
    }
};

// A USB module whose every message is one transfer (a HID output report, a control request),
// apart so that tests put a model behind it. 0 or the errno (ENODEV: unplugged).
class MessageTransfer {
public:
    virtual ~MessageTransfer() = default;
    virtual int Send(std::string_view message) = 0;
};

// What the last batch cost on the link.
struct LinkTraffic {
    std::size_t bytes = 0;
    std::size_t messages = 0;
    std::size_t transfers = 0; // combined transfers and messages sent on their own
    std::uint64_t clocks = 0; // I2C bus clocks; 0 on a serial line
    std::chrono::nanoseconds elapsed{0}; // measured by the writer, pauses included
};

// I2C bus clocks of a transfer: each message a start (or repeated start), the address byte and
// its data bytes at nine clocks each; the transfer one stop.
std::uint64_t I2cClocks(std::span<const std::string_view> messages);

class DeviceLink {
public:
    explicit DeviceLink(int fd) : fd_(fd) {}
    // An I2C link: `fd`, when there is one, is owned and watched; the bytes go through `transfer`.
    DeviceLink(int fd, std::unique_ptr<I2cTransfer> transfer) : fd_(fd), i2c_(std::move(transfer)) {}
    // A USB link of transfers: `fd`, when there is one, is owned and watched.
    DeviceLink(int fd, std::unique_ptr<MessageTransfer> transfer) : fd_(fd), usb_(std::move(transfer)) {}
    DeviceLink(DeviceLink&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)),
          i2c_(std::move(other.i2c_)),
          usb_(std::move(other.usb_)),
          combined_(other.combined_),
          notSocket_(other.notSocket_),
          traffic_(other.traffic_)
    {
    }
    DeviceLink& operator=(DeviceLink&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        std::swap(i2c_, other.i2c_);
        std::swap(usb_, other.usb_);
        std::swap(combined_, other.combined_);
        std::swap(notSocket_, other.notSocket_);
        std::swap(traffic_, other.traffic_);
        return *this;
    }
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    ~DeviceLink();

    // Writes every message, pausing after each as it asks; false with the reason when the
    // device fails (unplugged, bus error). On I2C the messages between two pauses go in one
    // combined transfer where the adapter takes it, each on its own where not. A pause that may
    // end when the module is ready asks `ready` until it is, for at most the pause.
    bool Send(const LinkBatch& batch, const Sleeper& sleep, std::string& error, const ReadyProbe& ready = {});

    // One message and one byte back, for reading the module (I2C: through the transfer).
    bool WriteMessage(std::string_view message);
    std::optional<std::uint8_t> ReadByte();
    // Bytes read in one message (I2C) or as they come (a tty); false when fewer arrived.
    bool Read(std::span<std::uint8_t> bytes);

    // The descriptor, for poll(): a device that goes away reports POLLHUP or POLLERR; -1 for none.
    int fd() const { return fd_; }
    bool isI2c() const { return i2c_ != nullptr; }
    // What the last Send put on the link (elapsed left 0).
    const LinkTraffic& traffic() const { return traffic_; }

private:
    bool WriteAll(std::string_view bytes, std::string& error);
    bool FlushSerial(std::string& error);
    bool SendI2c(std::span<const std::string_view> messages, std::string& error);
    void Wait(const LinkBatch::Segment& segment, const Sleeper& sleep, const ReadyProbe& ready);

    int fd_;
    std::unique_ptr<I2cTransfer> i2c_;
    std::unique_ptr<MessageTransfer> usb_;
    bool combined_ = true; // until the adapter refuses a combined transfer
    bool notSocket_ = false; // known once a send was refused
    std::string unsent_; // a serial batch's bytes up to its next pause; keeps its storage
    LinkTraffic traffic_;
};

// /dev/i2c-<bus> with the expander at `address` selected.
std::optional<DeviceLink> OpenI2cDevice(int bus, int address, std::string& error);
std::optional<DeviceLink> OpenI2cDevice(const std::string& path, int address, std::string& error);
// The clock of /dev/i2c-<bus> as the device tree gives it (a Raspberry Pi's), or nothing.
std::optional<int> I2cBusClock(int bus);
// A tty in raw mode (8N1, no flow control) at `baud`.
std::optional<DeviceLink> OpenSerialDevice(const std::string& path, int baud, std::string& error);
// Whether a serial speed is one the driver can set.
bool IsSupportedBaudRate(int baud);
// Puts a tty in raw mode (8N1, no flow control) at `baud`; false when it cannot be set so.
bool SetRawSpeed(int fd, int baud);

} // namespace pixtera::lcd
