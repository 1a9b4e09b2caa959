// SPDX-License-Identifier: MIT
#pragma once
// A module's device file for the tests: one end of a socket pair goes to the driver, the test
// reads what arrives at the other.

#include "device_link.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>

namespace pixtera::lcd::test {

class FakeDevice {
public:
    FakeDevice()
    {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0) {
            driverEnd_ = ends[0];
            testEnd_ = ends[1];
            fcntl(testEnd_, F_SETFL, O_NONBLOCK);
        }
    }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;
    ~FakeDevice()
    {
        Unplug();
        if (driverEnd_ >= 0)
            close(driverEnd_);
    }

    // The driver's end, handed over once.
    std::optional<DeviceLink> Open()
    {
        if (driverEnd_ < 0)
            return std::nullopt;
        return DeviceLink(std::exchange(driverEnd_, -1));
    }

    // Everything written so far and not yet read.
    std::string Drain()
    {
        std::string bytes;
        char buffer[4096];
        ssize_t n = 0;
        while (testEnd_ >= 0 && (n = read(testEnd_, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, static_cast<std::size_t>(n));
        return bytes;
    }

    // The module goes away: the driver's next write fails.
    void Unplug()
    {
        if (testEnd_ >= 0)
            close(std::exchange(testEnd_, -1));
    }

private:
    int driverEnd_ = -1;
    int testEnd_ = -1;
};

} // namespace pixtera::lcd::test
