// SPDX-License-Identifier: MIT
#pragma once
// Detection's devices as the kernel has them: /dev, i2c-dev, ttys and a TCP socket to LCDd.

#include "detection_devices.h"

namespace pixtera::detection {

class KernelDevices final : public DetectionDevices {
public:
    std::vector<std::string> DeviceNames() override;
    std::vector<std::pair<std::string, std::string>> SerialLinks() override;
    std::unique_ptr<I2cAdapter> OpenI2c(const std::string& path, int& error) override;
    std::unique_ptr<SerialPort> OpenSerial(const std::string& path, int& error) override;
    std::optional<std::string> LcddGreeting(const std::string& host, int port) override;
};

// Whether a process other than this one has `device` open (among those whose descriptors this
// user may see).
bool OpenedElsewhere(const std::string& device);

} // namespace pixtera::detection
