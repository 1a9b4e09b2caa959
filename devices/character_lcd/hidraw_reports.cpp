// SPDX-License-Identifier: MIT
#include "hidraw_reports.h"

#include <linux/hidraw.h>
#include <linux/input.h>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace pixtera::lcd {
namespace {

constexpr int kAnswerMs = 1000;

} // namespace

int HidrawReports::Write(std::span<const std::uint8_t> report)
{
    ssize_t written = 0;
    do
        written = write(fd_, report.data(), report.size());
    while (written < 0 && errno == EINTR);
    if (written < 0)
        return errno;
    return static_cast<std::size_t>(written) == report.size() ? 0 : EIO;
}

int HidrawReports::Read(std::span<std::uint8_t> report, std::size_t& got)
{
    got = 0;
    pollfd fds{fd_, POLLIN, 0};
    int ready = 0;
    do
        ready = poll(&fds, 1, kAnswerMs);
    while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return errno;
    if (ready == 0)
        return ETIMEDOUT;
    if (fds.revents & (POLLHUP | POLLERR | POLLNVAL))
        return ENODEV;
    const ssize_t read_ = read(fd_, report.data(), report.size());
    if (read_ < 0)
        return errno;
    got = static_cast<std::size_t>(read_);
    return 0;
}

int HidrawReports::Identify(std::uint16_t& vendor, std::uint16_t& product, std::string& serial)
{
    hidraw_devinfo info{};
    if (ioctl(fd_, HIDIOCGRAWINFO, &info) < 0)
        return errno;
    if (info.bustype != BUS_USB)
        return EMEDIUMTYPE;
    vendor = static_cast<std::uint16_t>(info.vendor);
    product = static_cast<std::uint16_t>(info.product);
    // A USB HID device's unique id is its serial number; kernels before 5.5 do not tell it.
    char unique[128] = {};
    serial.clear();
    if (ioctl(fd_, HIDIOCGRAWUNIQ(sizeof unique - 1), unique) >= 0)
        serial = unique;
    return 0;
}

int HidrawReports::SetFeature(std::span<const std::uint8_t> report)
{
    // The ioctl only reads the report.
    if (ioctl(fd_, HIDIOCSFEATURE(report.size()), const_cast<std::uint8_t*>(report.data())) < 0)
        return errno;
    return 0;
}

} // namespace pixtera::lcd
