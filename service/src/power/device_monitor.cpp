// SPDX-License-Identifier: MIT
#include "device_monitor.h"

#include <pixtera/platform/event_log.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>

namespace pixtera {
namespace {

int OnDevice(sd_device_monitor*, sd_device* device, void* userdata)
{
    sd_device_action_t action{};
    const char* node = nullptr;
    if (sd_device_get_action(device, &action) >= 0 && action == SD_DEVICE_ADD &&
        sd_device_get_devname(device, &node) >= 0 && node)
        (*static_cast<const DeviceMonitor::Appeared*>(userdata))(node);
    return 0;
}

int OnStop(sd_event_source* source, int, uint32_t, void*)
{
    return sd_event_exit(sd_event_source_get_event(source), 0);
}

} // namespace

std::unique_ptr<DeviceMonitor> DeviceMonitor::Start(Appeared appeared)
{
    sd_event* loop = nullptr;
    sd_device_monitor* monitor = nullptr;
    const bool made = sd_event_new(&loop) >= 0 && sd_device_monitor_new(&monitor) >= 0;
    Loop ownedLoop(loop, sd_event_unref);
    Monitor ownedMonitor(monitor, sd_device_monitor_unref);
    UniqueFd stop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!made || !stop || sd_device_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
        sd_device_monitor_filter_add_match_subsystem_devtype(monitor, "i2c-dev", nullptr) < 0 ||
        // USB-to-I2C adapters driven directly: a CH341A's USB device, an MCP2221's or CP2112's hidraw.
        sd_device_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device") < 0 ||
        sd_device_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        sd_device_monitor_attach_event(monitor, loop) < 0) {
        LogInformation("No udev events: a display whose device node is gone is tried every half minute");
        return nullptr;
    }
    return std::make_unique<DeviceMonitor>(std::move(ownedLoop), std::move(ownedMonitor), std::move(stop),
                                           std::move(appeared));
}

DeviceMonitor::DeviceMonitor(Loop loop, Monitor monitor, UniqueFd stop, Appeared appeared)
    : loop_(std::move(loop)),
      monitor_(std::move(monitor)),
      stop_(std::move(stop)),
      appeared_(std::move(appeared)),
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
    // The loop belongs to this thread from here on; the destructor reaches it through the eventfd.
    if (sd_event_add_io(loop_.get(), nullptr, stop_.get(), EPOLLIN, OnStop, nullptr) < 0 ||
        sd_device_monitor_start(monitor_.get(), OnDevice, const_cast<Appeared*>(&appeared_)) < 0) {
        LogWarning("udev monitor: cannot listen; hot-plugged displays are tried every half minute");
        return;
    }
    if (const int error = sd_event_loop(loop_.get()); error < 0)
        LogWarning("udev monitor: " + std::string(std::strerror(-error)) +
                   "; hot-plugged displays are tried every half minute");
}

} // namespace pixtera
