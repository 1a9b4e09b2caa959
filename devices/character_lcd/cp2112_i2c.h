// SPDX-License-Identifier: MIT
#pragma once
// I2C through a CP2112 (USB 10c4:ea90) on hidraw: the SMBus configuration feature report sets the
// clock, each message is a Data Write Request of up to 61 bytes, and its end is asked with
// Transfer Status Requests until the chip says it is done or why it failed.

#include "adapter_transfer.h"
#include "usb_transport.h"

#include <memory>

namespace pixtera::lcd {

namespace cp2112 {
inline constexpr std::uint16_t kVendor = 0x10c4, kProduct = 0xea90;
inline constexpr std::uint8_t kCancel = 0x17;
inline constexpr std::uint8_t kSmbusConfig = 0x06, kReadRequest = 0x10, kReadForce = 0x12, kReadResponse = 0x13,
                              kWrite = 0x14, kStatusRequest = 0x15, kStatusResponse = 0x16;
inline constexpr std::size_t kReport = 64;
inline constexpr std::size_t kLargestWrite = 61;
inline constexpr std::size_t kLargestRead = 512;
// Transfer status 0.
inline constexpr std::uint8_t kIdle = 0, kBusy = 1, kComplete = 2, kError = 3;
// Transfer status 1 after an error.
inline constexpr std::uint8_t kTimeoutNack = 0;
} // namespace cp2112

class Cp2112I2c final : public AdapterTransfer {
public:
    Cp2112I2c(std::unique_ptr<HidReports> hid, int address) : AdapterTransfer(address), hid_(std::move(hid)) {}

    // Checks the chip's ids and its serial number where `serial`
    // names one (EMEDIUMTYPE: another device, nothing written to it), then the clock, the
    // timeouts and one retry; 0 or the errno.
    int Setup(int hz, std::string_view serial = {});

    // The messages one after the other, each with its stop (the chip has no combined transfer).
    int Combined(std::span<const std::string_view> messages) override;
    int Write(std::string_view message) override;
    int Read(std::uint8_t& byte) override { return ReadBlock(std::span(&byte, 1)); }
    int ReadBlock(std::span<std::uint8_t> bytes) override;

private:
    // Asks the transfer's status until it ended: 0, ENXIO (not acknowledged) or another errno; a
    // transfer that does not end is cancelled.
    int AwaitEnd();
    // The next input report that is `id`'s, at least `shortest` bytes long; what it did not
    // fill is zero.
    int ReadReport(std::uint8_t id, std::span<std::uint8_t, cp2112::kReport> report, std::size_t shortest,
                   std::size_t& got);

    std::unique_ptr<HidReports> hid_;
};

} // namespace pixtera::lcd
