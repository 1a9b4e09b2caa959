#pragma once
// Device nodes appearing, from udev: ttys (USB-serial modules) and i2c-dev buses (USB-I2C
// adapters, an overlay loaded late). A thread of its own waits on the monitor's socket, so that
// nothing polls.

#include <pixtera/platform/thread.h>
#include <pixtera/platform/unique_fd.h>

#include <libudev.h>

#include <functional>
#include <memory>
#include <string>

namespace pixtera {

class DeviceMonitor {
public:
    // Called on the monitor's thread.
    using Appeared = std::function<void(const std::string& node)>;
    using Context = std::unique_ptr<udev, udev* (*)(udev*)>;
    using Monitor = std::unique_ptr<udev_monitor, udev_monitor* (*)(udev_monitor*)>;

    // Nothing when udev cannot be listened to (no netlink in a container): said in the log.
    static std::unique_ptr<DeviceMonitor> Start(Appeared appeared);

    DeviceMonitor(Context context, Monitor monitor, UniqueFd stop, Appeared appeared);
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;
    ~DeviceMonitor();

private:
    void Run();

    Context context_;
    Monitor monitor_;
    UniqueFd stop_; // an eventfd the destructor signals
    const Appeared appeared_;
    Thread thread_;
};

} // namespace pixtera
