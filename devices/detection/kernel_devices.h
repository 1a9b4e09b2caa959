// SPDX-License-Identifier: MIT
#pragma once
// Detection's devices as the kernel has them: /dev, i2c-dev, ttys, udev's database, sysfs and a
// TCP socket to LCDd.

#include "detection_devices.h"
#include "kernel_sysfs.h"
#include "serial_usb_id.h"
#include "udev_marks.h"

#include <filesystem>

namespace pixtera::detection {

class KernelDevices final : public DetectionDevices {
public:
    // `udevDatabase`: where udev keeps the devices' properties; `sysfs`: where sysfs is mounted;
    // `lcd`: the kernel's LCD device.
    explicit KernelDevices(std::filesystem::path udevDatabase = kUdevDatabase, std::filesystem::path sysfs = kSysfs,
                           std::string lcd = "/dev/lcd")
        : udevDatabase_(std::move(udevDatabase)), sysfs_(std::move(sysfs)), lcd_(std::move(lcd))
    {
    }

    std::vector<std::string> DeviceNames() override;
    std::vector<std::pair<std::string, std::string>> SerialLinks() override;
    std::unique_ptr<I2cAdapter> OpenI2c(const std::string& path, int& error) override;
    std::unique_ptr<SerialPort> OpenSerial(const std::string& path, int& error) override;
    std::optional<std::string> OtherUse(const std::string& path) override;
    std::optional<std::string> LcddGreeting(const std::string& host, int port) override;
    std::optional<KernelLcdFound> KernelLcd() override { return KernelLcdOf(sysfs_, lcd_); }
    std::optional<std::string> I2cDriver(int bus, int address) override { return I2cDriverOf(sysfs_, bus, address); }
    std::vector<UsbAdapterFound> UsbAdapters() override;
    std::vector<UsbModuleFound> UsbModules() override;
    std::shared_ptr<lcd::HidReports> OpenPicoLcd(const UsbModuleFound& module, int& error) override;
    std::shared_ptr<lcd::UsbControl> OpenLcd2Usb(const UsbModuleFound& module, int& error) override;
    std::optional<UsbId> SerialUsbId(const std::string& path) override { return SerialUsbIdOf(sysfs_, path); }
    std::unique_ptr<I2cAdapter> OpenUsbAdapter(const UsbAdapterFound& adapter, int& error) override;

private:
    std::filesystem::path udevDatabase_;
    std::filesystem::path sysfs_;
    std::string lcd_;
};

// Whether a process other than this one has `device` open (among those whose descriptors this
// user may see).
bool OpenedElsewhere(const std::string& device);

} // namespace pixtera::detection
