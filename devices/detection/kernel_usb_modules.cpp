// SPDX-License-Identifier: MIT
// The USB character modules driven directly, as the kernel and libusb show them.

#include "kernel_devices.h"

#include "hid_module.h"
#include "lcd2usb_protocol.h"
#include "libusb_control.h"
#include "picolcd_protocol.h"

#include <cerrno>

namespace pixtera::detection {

std::vector<UsbModuleFound> KernelDevices::UsbModules()
{
    std::vector<UsbModuleFound> found;
    for (auto& device : lcd::FindUsbModules({lcd::kPicoLcdVendor, lcd::kPicoLcdProduct}, sysfs_ / "bus/usb/devices"))
        found.push_back({UsbModuleKind::PicoLcd, std::move(device)});
    for (auto& device : lcd::FindUsbModules({lcd::kLcd2UsbVendor, lcd::kLcd2UsbProduct}, sysfs_ / "bus/usb/devices"))
        found.push_back({UsbModuleKind::Lcd2Usb, std::move(device)});
    return found;
}

std::shared_ptr<lcd::HidReports> KernelDevices::OpenPicoLcd(const UsbModuleFound& module, int& error)
{
    const auto node = lcd::HidrawNode(module.device);
    if (!node) {
        error = ENODEV;
        return nullptr;
    }
    std::string reason;
    errno = 0;
    auto connection = lcd::OpenHidrawModule(*node, {lcd::kPicoLcdVendor, lcd::kPicoLcdProduct}, reason);
    if (!connection) {
        error = errno != 0 ? errno : ENODEV;
        return nullptr;
    }
    return connection->reports;
}

std::shared_ptr<lcd::UsbControl> KernelDevices::OpenLcd2Usb(const UsbModuleFound& module, int& error)
{
    std::string reason;
    errno = 0;
    auto control = lcd::LibusbControl::Open(module.device.busNumber, module.device.deviceAddress, reason);
    if (!control) {
        error = errno != 0 ? errno : ENODEV;
        return nullptr;
    }
    return control;
}

} // namespace pixtera::detection
