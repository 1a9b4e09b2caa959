// SPDX-License-Identifier: MIT
#pragma once
// What a USB-to-I2C adapter's driver needs of the USB side, apart so that tests put a model of
// the chip behind it: bulk transfers for a chip on libusb, reports for one on hidraw. Every call
// answers 0 or the errno (ENODEV: unplugged, ETIMEDOUT: the chip did not answer in time).

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pixtera::lcd {

class UsbBulk {
public:
    virtual ~UsbBulk() = default;
    virtual int Out(std::span<const std::uint8_t> bytes) = 0;
    // Up to `bytes.size()`; `got` says how many came.
    virtual int In(std::span<std::uint8_t> bytes, std::size_t& got) = 0;
};

class HidReports {
public:
    virtual ~HidReports() = default;
    // An output report, its ID the first byte.
    virtual int Write(std::span<const std::uint8_t> report) = 0;
    // The next input report, its ID the first byte (where the device numbers its reports).
    virtual int Read(std::span<std::uint8_t> report, std::size_t& got) = 0;
    // A feature report, its ID the first byte.
    virtual int SetFeature(std::span<const std::uint8_t> report) = 0;
    // The USB vendor and product id of the device behind the node, and its serial number (empty
    // when it has none or the kernel does not say).
    virtual int Identify(std::uint16_t& vendor, std::uint16_t& product, std::string& serial) = 0;
};

// Whether the device behind `hid` is the one with these ids, and this serial number where one is
// expected and the device tells its own: 0, EMEDIUMTYPE when it is another (the node was given to
// another device since the adapter was found), or the errno of asking.
inline int IdentifyAs(HidReports& hid, std::uint16_t vendor, std::uint16_t product, std::string_view serial = {})
{
    std::uint16_t v = 0, p = 0;
    std::string own;
    if (const int error = hid.Identify(v, p, own); error != 0)
        return error;
    if (v != vendor || p != product)
        return EMEDIUMTYPE;
    return serial.empty() || own.empty() || own == serial ? 0 : EMEDIUMTYPE;
}

} // namespace pixtera::lcd
