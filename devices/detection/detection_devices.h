// SPDX-License-Identifier: MIT
#pragma once
// The kernel as module detection sees it, kept narrow so that tests put models of modules behind
// it: I2C adapters addressed one device at a time, serial ports, LCDd's socket, and what sysfs
// says of the devices the kernel drives itself.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::detection {

// An opened /dev/i2c-N.
class I2cAdapter {
public:
    virtual ~I2cAdapter() = default;
    // Each returns 0 or the errno: ENXIO or EREMOTEIO when nothing answers at the address.
    virtual int Select(int address) = 0;
    virtual int Read(std::uint8_t& byte) = 0;
    virtual int Write(std::string_view bytes) = 0;
    // Bytes read in one transfer.
    virtual int ReadBlock(std::span<std::uint8_t> bytes)
    {
        for (auto& byte : bytes)
            if (const int error = Read(byte); error != 0)
                return error;
        return 0;
    }
};

// An opened serial port, held exclusively while the probe lasts; closing it puts back the settings
// it had.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    virtual bool SetSpeed(int baud) = 0;
    virtual bool Write(std::string_view bytes) = 0;
    // What arrives within `limit`, returning early once `enough` bytes are there.
    virtual std::string Read(std::size_t enough, std::chrono::milliseconds limit) = 0;
};

// The display the kernel's charlcd driver drives.
struct KernelLcdFound {
    std::string device; // "/dev/lcd"
    std::string driver; // the auxdisplay driver behind it ("hd44780"), or empty when sysfs does not say
    int columns = 0; // the size the device tree gives the driver; 0 when it gives none
    int rows = 0;
};

class DetectionDevices {
public:
    virtual ~DetectionDevices() = default;
    // The names in /dev ("i2c-1", "ttyUSB0", ...).
    virtual std::vector<std::string> DeviceNames() = 0;
    // /dev/serial/by-id's links and the /dev name each points to.
    virtual std::vector<std::pair<std::string, std::string>> SerialLinks() = 0;
    // Nothing and the errno when the device cannot be opened.
    virtual std::unique_ptr<I2cAdapter> OpenI2c(const std::string& path, int& error) = 0;
    // EBUSY when another program has the port open (as far as this user can see), locked or
    // exclusive: it is never touched then.
    virtual std::unique_ptr<SerialPort> OpenSerial(const std::string& path, int& error) = 0;
    // What udev marks the port as when that is no display ("a modem (ID_MM_PORT_TYPE_AT_PRIMARY=1)"),
    // or nothing.
    virtual std::optional<std::string> OtherUse(const std::string& path) = 0;
    // LCDd's answer to "hello", or nothing when no LCDd answers at the address.
    virtual std::optional<std::string> LcddGreeting(const std::string& host, int port) = 0;
    // /dev/lcd when it is the device the kernel's charlcd driver registered, or nothing.
    virtual std::optional<KernelLcdFound> KernelLcd() = 0;
    // The kernel driver bound to the I2C device at `address` on bus `bus` ("pcf857x"), or nothing:
    // such a device is the kernel's and is never probed.
    virtual std::optional<std::string> I2cDriver(int bus, int address) = 0;
};

} // namespace pixtera::detection
