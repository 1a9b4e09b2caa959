// SPDX-License-Identifier: MIT
#pragma once
// A CH341A's bulk endpoints through libusb: its interface claimed while the link lasts. A kernel
// driver bound to the interface is detached only when no program has claimed it, and bound
// again when the link ends.

#include "usb_transport.h"

#include <memory>
#include <string>

struct libusb_context;
struct libusb_device_handle;

namespace pixtera::lcd {

class LibusbBulk final : public UsbBulk {
public:
    // The device at `bus` and `address` (sysfs's busnum and devnum) when its descriptor has these
    // ids (a number a device left is given to the next one plugged in); nothing, with `error` set
    // (and errno: ENODEV for another device), when it cannot be opened or claimed.
    static std::unique_ptr<LibusbBulk> Open(int bus, int address, std::uint16_t vendor, std::uint16_t product,
                                            std::string& error);
    ~LibusbBulk() override;
    LibusbBulk(const LibusbBulk&) = delete;
    LibusbBulk& operator=(const LibusbBulk&) = delete;

    // A descriptor of the device's own (usbfs), for poll(): it reports POLLHUP when the chip is
    // unplugged, so that a still screen notices; -1 when libusb does not tell it.
    int DuplicatePollFd() const;

    int Out(std::span<const std::uint8_t> bytes) override;
    int In(std::span<std::uint8_t> bytes, std::size_t& got) override;

private:
    LibusbBulk() = default;

    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    bool claimed_ = false;
    bool reattach_ = false;
};

} // namespace pixtera::lcd
