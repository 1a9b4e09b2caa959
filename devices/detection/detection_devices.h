// SPDX-License-Identifier: MIT
#pragma once
// The kernel as module detection sees it, kept narrow so that tests put models of modules behind
// it: I2C adapters addressed one device at a time (i2c-dev's, and USB adapters driven directly),
// serial ports, LCDd's socket, and what sysfs
// says of the devices the kernel drives itself.

#include "usb_control.h"
#include "usb_i2c_adapter.h"
#include "usb_transport.h"

#include <cerrno>
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

// A USB-to-I2C adapter plugged in.
struct UsbAdapterFound {
    lcd::AdapterKind kind = lcd::AdapterKind::Ch341;
    lcd::UsbDevice device;
    std::optional<int> kernelBus; // the /dev/i2c-N a kernel driver made of it
};

// A USB character module driven directly, plugged in.
enum class UsbModuleKind { PicoLcd, Lcd2Usb };
struct UsbModuleFound {
    UsbModuleKind kind = UsbModuleKind::PicoLcd;
    lcd::UsbDevice device;
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

// A USB device's vendor and product.
struct UsbId {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    bool operator==(const UsbId&) const = default;
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
    // The USB-to-I2C adapters plugged in, and one opened directly (its address chosen by Select);
    // nothing and the errno when it cannot be.
    virtual std::vector<UsbAdapterFound> UsbAdapters() { return {}; }
    // The USB device behind a serial port (a link or a /dev name), or nothing when it is none.
    virtual std::optional<UsbId> SerialUsbId(const std::string&) { return std::nullopt; }
    virtual std::unique_ptr<I2cAdapter> OpenUsbAdapter(const UsbAdapterFound&, int& error)
    {
        error = ENODEV;
        return nullptr;
    }
    // The USB character modules plugged in, and one opened for its query (a picoLCD's reports on
    // its hidraw node, its ids checked; an LCD2USB's control requests); nothing and the errno when
    // it cannot be.
    virtual std::vector<UsbModuleFound> UsbModules() { return {}; }
    virtual std::shared_ptr<lcd::HidReports> OpenPicoLcd(const UsbModuleFound&, int& error)
    {
        error = ENODEV;
        return nullptr;
    }
    virtual std::shared_ptr<lcd::UsbControl> OpenLcd2Usb(const UsbModuleFound&, int& error)
    {
        error = ENODEV;
        return nullptr;
    }
};

// An adapter's link, its device chosen by Select.
class AdapterBus final : public I2cAdapter {
public:
    // `transfer` is `link`'s.
    AdapterBus(lcd::DeviceLink link, lcd::AdapterTransfer& transfer) : link_(std::move(link)), transfer_(transfer) {}
    int Select(int address) override
    {
        transfer_.SetAddress(address);
        return 0;
    }
    int Read(std::uint8_t& byte) override { return transfer_.Read(byte); }
    int Write(std::string_view bytes) override { return transfer_.Write(bytes); }
    int ReadBlock(std::span<std::uint8_t> bytes) override { return transfer_.ReadBlock(bytes); }

private:
    lcd::DeviceLink link_;
    lcd::AdapterTransfer& transfer_;
};

} // namespace pixtera::detection
