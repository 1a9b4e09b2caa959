// SPDX-License-Identifier: MIT
#include "lcd2usb_module.h"

#include "hid_module.h"
#include "lcd2usb_protocol.h"
#include "libusb_control.h"

#include <cerrno>
#include <fcntl.h>

namespace pixtera::lcd {

std::optional<Lcd2UsbConnection> OpenLcd2Usb(const std::string& device, std::string& error,
                                             const std::filesystem::path& root)
{
    const std::string port = device.rfind("auto:", 0) == 0 ? device.substr(5) : std::string();
    for (const UsbDevice& found : FindUsbModules({kLcd2UsbVendor, kLcd2UsbProduct}, root)) {
        if (!port.empty() && found.port != port)
            continue;
        auto control = LibusbControl::Open(found.busNumber, found.deviceAddress, error);
        if (!control)
            return std::nullopt;
        UniqueFd watch(control->DuplicatePollFd());
        return Lcd2UsbConnection{std::move(watch), std::shared_ptr<UsbControl>(std::move(control))};
    }
    error = "no LCD2USB (0403:c630)" + (port.empty() ? std::string() : " at " + port) + " is plugged in";
    errno = ENODEV;
    return std::nullopt;
}

std::optional<DeviceLink> StartLcd2Usb(Lcd2UsbConnection connection, std::shared_ptr<UsbControl>& current,
                                       std::string& version, std::string& error)
{
    const auto answer = ProbeLcd2Usb(*connection.control);
    if (!answer) {
        error = "no answer to the echo request";
        errno = EIO;
        return std::nullopt;
    }
    version = *answer;
    current = connection.control;
    return DeviceLink(connection.watch ? fcntl(connection.watch.get(), F_DUPFD_CLOEXEC, 0) : -1,
                      std::make_unique<Lcd2UsbTransfer>(std::move(connection.control)));
}

} // namespace pixtera::lcd
