// SPDX-License-Identifier: MIT
#include "libusb_bulk.h"

#include "libusb_poll_fd.h"

#include <libusb.h>

#include <cerrno>

namespace pixtera::lcd {
namespace {

constexpr unsigned char kOut = 0x02, kIn = 0x82;
constexpr int kInterface = 0;
constexpr unsigned int kTimeoutMs = 1000;

int Errno(int result)
{
    switch (result) {
    case LIBUSB_SUCCESS: return 0;
    case LIBUSB_ERROR_NO_DEVICE: return ENODEV;
    case LIBUSB_ERROR_NOT_FOUND: return ENODEV;
    case LIBUSB_ERROR_ACCESS: return EACCES;
    case LIBUSB_ERROR_BUSY: return EBUSY;
    case LIBUSB_ERROR_TIMEOUT: return ETIMEDOUT;
    case LIBUSB_ERROR_PIPE: return EPIPE;
    case LIBUSB_ERROR_OVERFLOW: return EOVERFLOW;
    case LIBUSB_ERROR_NO_MEM: return ENOMEM;
    case LIBUSB_ERROR_NOT_SUPPORTED: return EOPNOTSUPP;
    default: return EIO;
    }
}

std::string Why(const std::string& what, int result) { return what + ": " + libusb_strerror(result); }

} // namespace

std::unique_ptr<LibusbBulk> LibusbBulk::Open(int bus, int address, std::uint16_t vendor, std::uint16_t product,
                                             std::string& error)
{
    std::unique_ptr<LibusbBulk> usb(new LibusbBulk);
    if (const int result = libusb_init(&usb->context_); result != 0) {
        usb->context_ = nullptr;
        error = Why("libusb", result);
        errno = Errno(result);
        return nullptr;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(usb->context_, &list);
    int result = LIBUSB_ERROR_NO_DEVICE;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(list[i]) == bus && libusb_get_device_address(list[i]) == address) {
            libusb_device_descriptor descriptor{};
            // Known by its ids before anything is opened, claimed or detached.
            if (libusb_get_device_descriptor(list[i], &descriptor) == 0 && descriptor.idVendor == vendor &&
                descriptor.idProduct == product)
                result = libusb_open(list[i], &usb->handle_);
            break;
        }
    }
    if (count >= 0)
        libusb_free_device_list(list, 1);
    if (result != 0) {
        usb->handle_ = nullptr;
        error = Why("opening the CH341A", result);
        errno = Errno(result);
        return nullptr;
    }
    result = libusb_claim_interface(usb->handle_, kInterface);
    // Busy: a kernel driver has it, or another program. A program's claim is left alone.
    if (result == LIBUSB_ERROR_BUSY && libusb_kernel_driver_active(usb->handle_, kInterface) == 1) {
        result = libusb_detach_kernel_driver(usb->handle_, kInterface);
        if (result == 0) {
            usb->reattach_ = true;
            result = libusb_claim_interface(usb->handle_, kInterface);
        }
    }
    if (result != 0) {
        error = result == LIBUSB_ERROR_BUSY ? std::string("the CH341A is in use by another program")
                                            : Why("claiming the CH341A", result);
        errno = Errno(result);
        return nullptr;
    }
    usb->claimed_ = true;
    return usb;
}

LibusbBulk::~LibusbBulk()
{
    if (claimed_)
        libusb_release_interface(handle_, kInterface);
    if (reattach_)
        libusb_attach_kernel_driver(handle_, kInterface);
    if (handle_)
        libusb_close(handle_);
    if (context_)
        libusb_exit(context_);
}

int LibusbBulk::DuplicatePollFd() const { return DuplicateDevicePollFd(context_); }

int LibusbBulk::Out(std::span<const std::uint8_t> bytes)
{
    int sent = 0;
    // libusb only reads what it sends.
    const int result = libusb_bulk_transfer(handle_, kOut, const_cast<unsigned char*>(bytes.data()),
                                            static_cast<int>(bytes.size()), &sent, kTimeoutMs);
    if (result != 0)
        return Errno(result);
    return static_cast<std::size_t>(sent) == bytes.size() ? 0 : EIO;
}

int LibusbBulk::In(std::span<std::uint8_t> bytes, std::size_t& got)
{
    int received = 0;
    const int result =
        libusb_bulk_transfer(handle_, kIn, bytes.data(), static_cast<int>(bytes.size()), &received, kTimeoutMs);
    got = static_cast<std::size_t>(received);
    return Errno(result);
}

} // namespace pixtera::lcd
