// SPDX-License-Identifier: MIT
#pragma once
// What happens to the machine's devices, passed on to the display drivers that take it
// (IDisplayEvents): device nodes appearing (udev) and wake-ups from sleep (from logind, through
// whoever listens to it).

#include "device_monitor.h"
#include "driver_manager.h"

#include <memory>
#include <string>

namespace pixtera {

class HardwareEvents {
public:
    // Starts listening to udev where it can.
    explicit HardwareEvents(DriverManager& drivers);
    HardwareEvents(const HardwareEvents&) = delete;
    HardwareEvents& operator=(const HardwareEvents&) = delete;
    ~HardwareEvents();

    // The monitors' events; thread-safe.
    void DeviceAppeared(const std::string& node);
    void Resumed();

private:
    template <class Call>
    void ForEachDriver(const Call& call);

    DriverManager& drivers_;
    std::unique_ptr<DeviceMonitor> devices_;
};

} // namespace pixtera
