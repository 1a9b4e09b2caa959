// SPDX-License-Identifier: MIT
#pragma once
// Detection's devices as the kernel has them: /dev, i2c-dev, ttys, udev's database and a TCP
// socket to LCDd.

#include "detection_devices.h"
#include "udev_marks.h"

#include <filesystem>

namespace pixtera::detection {

class KernelDevices final : public DetectionDevices {
public:
    // `udevDatabase`: where udev keeps the devices' properties.
    explicit KernelDevices(std::filesystem::path udevDatabase = kUdevDatabase) : udevDatabase_(std::move(udevDatabase))
    {
    }

    std::vector<std::string> DeviceNames() override;
    std::vector<std::pair<std::string, std::string>> SerialLinks() override;
    std::unique_ptr<I2cAdapter> OpenI2c(const std::string& path, int& error) override;
    std::unique_ptr<SerialPort> OpenSerial(const std::string& path, int& error) override;
    std::optional<std::string> OtherUse(const std::string& path) override;
    std::optional<std::string> LcddGreeting(const std::string& host, int port) override;

private:
    std::filesystem::path udevDatabase_;
};

// Whether a process other than this one has `device` open (among those whose descriptors this
// user may see).
bool OpenedElsewhere(const std::string& device);

} // namespace pixtera::detection
