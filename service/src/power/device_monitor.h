// SPDX-License-Identifier: MIT
#pragma once
// Device nodes appearing, from udev: ttys (USB-serial modules) and i2c-dev buses (USB-I2C
// adapters, an overlay loaded late). libsystemd's device monitor (the same netlink messages as
// libudev's, from a library the service maps anyway) on an event loop of its own thread, which
// sleeps until udev says something.

#include <pixtera/platform/thread.h>
#include <pixtera/platform/unique_fd.h>

#include <systemd/sd-device.h>
#include <systemd/sd-event.h>

#include <functional>
#include <memory>
#include <string>

namespace pixtera {

class DeviceMonitor {
public:
    // Called on the monitor's thread.
    using Appeared = std::function<void(const std::string& node)>;
    using Loop = std::unique_ptr<sd_event, sd_event* (*)(sd_event*)>;
    using Monitor = std::unique_ptr<sd_device_monitor, sd_device_monitor* (*)(sd_device_monitor*)>;

    // Nothing when udev cannot be listened to (no netlink in a container): said in the log.
    static std::unique_ptr<DeviceMonitor> Start(Appeared appeared);

    DeviceMonitor(Loop loop, Monitor monitor, UniqueFd stop, Appeared appeared);
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;
    ~DeviceMonitor();

private:
    void Run();

    Loop loop_;
    Monitor monitor_;
    UniqueFd stop_; // an eventfd the destructor signals
    const Appeared appeared_;
    Thread thread_;
};

} // namespace pixtera
