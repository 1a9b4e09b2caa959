// SPDX-License-Identifier: MIT
#include "libusb_control.h"

#include "libusb_poll_fd.h"

#include <libusb.h>

#include <cerrno>

namespace pixtera::lcd {
namespace {

constexpr unsigned int kTimeoutMs = 1000;
constexpr std::uint8_t kVendorIn = 0xC0; // vendor, to the device, device to host

int Errno(int result)
{
    switch (result) {
    case LIBUSB_SUCCESS: return 0;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return ENODEV;
    case LIBUSB_ERROR_ACCESS: return EACCES;
    case LIBUSB_ERROR_BUSY: return EBUSY;
    case LIBUSB_ERROR_TIMEOUT: return ETIMEDOUT;
    case LIBUSB_ERROR_PIPE: return EPIPE;
    case LIBUSB_ERROR_NO_MEM: return ENOMEM;
    default: return EIO;
    }
}

} // namespace

std::unique_ptr<LibusbControl> LibusbControl::Open(int bus, int address, std::string& error)
{
    std::unique_ptr<LibusbControl> usb(new LibusbControl);
    if (const int result = libusb_init(&usb->context_); result != 0) {
        usb->context_ = nullptr;
        error = std::string("libusb: ") + libusb_strerror(result);
        errno = Errno(result);
        return nullptr;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(usb->context_, &list);
    int result = LIBUSB_ERROR_NO_DEVICE;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(list[i]) == bus && libusb_get_device_address(list[i]) == address) {
            result = libusb_open(list[i], &usb->handle_);
            break;
        }
    }
    if (count >= 0)
        libusb_free_device_list(list, 1);
    if (result != 0) {
        usb->handle_ = nullptr;
        error = std::string("opening the device: ") + libusb_strerror(result);
        errno = Errno(result);
        return nullptr;
    }
    return usb;
}

LibusbControl::~LibusbControl()
{
    if (handle_)
        libusb_close(handle_);
    if (context_)
        libusb_exit(context_);
}

int LibusbControl::DuplicatePollFd() const { return DuplicateDevicePollFd(context_); }

int LibusbControl::In(std::uint8_t request, std::uint16_t value, std::uint16_t index, std::span<std::uint8_t> answer,
                      std::size_t& got)
{
    got = 0;
    const int result = libusb_control_transfer(handle_, kVendorIn, request, value, index, answer.data(),
                                               static_cast<std::uint16_t>(answer.size()), kTimeoutMs);
    if (result < 0)
        return Errno(result);
    got = static_cast<std::size_t>(result);
    return 0;
}

} // namespace pixtera::lcd
