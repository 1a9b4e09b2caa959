#include "device_monitor.h"

#include <pixtera/platform/event_log.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pixtera {

std::unique_ptr<DeviceMonitor> DeviceMonitor::Start(Appeared appeared)
{
    Context context(udev_new(), udev_unref);
    Monitor monitor(context ? udev_monitor_new_from_netlink(context.get(), "udev") : nullptr, udev_monitor_unref);
    UniqueFd stop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!monitor || !stop || udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "tty", nullptr) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "i2c-dev", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
        LogInformation("No udev events: a display whose device node is gone is tried every half minute");
        return nullptr;
    }
    return std::make_unique<DeviceMonitor>(std::move(context), std::move(monitor), std::move(stop), std::move(appeared));
}

DeviceMonitor::DeviceMonitor(Context context, Monitor monitor, UniqueFd stop, Appeared appeared)
    : context_(std::move(context)), monitor_(std::move(monitor)), stop_(std::move(stop)), appeared_(std::move(appeared)),
      thread_(kPluginThreadStack, [this] { Run(); })
{
}

DeviceMonitor::~DeviceMonitor()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stop_.get(), &one, sizeof one);
    thread_.join();
}

void DeviceMonitor::Run()
{
    NameThisThread("px-udev");
    pollfd fds[2] = {{udev_monitor_get_fd(monitor_.get()), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            LogWarning("udev monitor: " + std::string(std::strerror(errno)) + "; hot-plugged displays are tried every half minute");
            return;
        }
        if (fds[1].revents & POLLIN)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const std::unique_ptr<udev_device, udev_device* (*)(udev_device*)> device(
            udev_monitor_receive_device(monitor_.get()), udev_device_unref);
        if (!device)
            continue;
        const char* action = udev_device_get_action(device.get());
        const char* node = udev_device_get_devnode(device.get());
        if (action && node && std::strcmp(action, "add") == 0)
            appeared_(node);
    }
}

} // namespace pixtera
