// SPDX-License-Identifier: MIT
#pragma once
// Vendor control requests to a device through libusb. Requests to the device itself need no
// interface claimed, so a kernel driver bound to one is left alone.

#include "usb_control.h"

#include <memory>
#include <string>

struct libusb_context;
struct libusb_device_handle;

namespace pixtera::lcd {

class LibusbControl final : public UsbControl {
public:
    // The device at `bus` and `address` (sysfs's busnum and devnum); nothing, with `error` set
    // (and errno), when it cannot be opened.
    static std::unique_ptr<LibusbControl> Open(int bus, int address, std::string& error);
    ~LibusbControl() override;
    LibusbControl(const LibusbControl&) = delete;
    LibusbControl& operator=(const LibusbControl&) = delete;

    // A descriptor of the device's own (usbfs), for poll(): POLLHUP when it is unplugged; -1
    // when libusb does not tell it.
    int DuplicatePollFd() const;

    int In(std::uint8_t request, std::uint16_t value, std::uint16_t index, std::span<std::uint8_t> answer,
           std::size_t& got) override;

private:
    LibusbControl() = default;

    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
};

} // namespace pixtera::lcd
