// SPDX-License-Identifier: MIT
#pragma once
// I2C through an MCP2221 or MCP2221A (USB 04d8:00dd) on hidraw: 64-byte reports, a command and
// its answer each. A message goes as I2C Write Data reports of up to 60 bytes, and the chip's
// status is asked until the message is done; an address not acknowledged leaves the chip's I2C
// engine stuck until the transfer is cancelled, which is done at once.

#include "adapter_transfer.h"
#include "usb_transport.h"

#include <memory>

namespace pixtera::lcd {

namespace mcp2221 {
inline constexpr std::uint16_t kVendor = 0x04d8, kProduct = 0x00dd;
inline constexpr std::size_t kReport = 64;
inline constexpr std::uint8_t kStatus = 0x10, kWrite = 0x90, kRead = 0x91, kGetData = 0x40;
inline constexpr std::uint8_t kCancel = 0x10, kSetSpeed = 0x20; // bytes 2 and 3 of a status command
inline constexpr std::uint8_t kSpeedSet = 0x20; // byte 3 of its answer: the clock taken
inline constexpr std::size_t kChunk = 60; // data bytes in a write report, and in a read answer
inline constexpr std::uint8_t kAddressNack = 0x40; // byte 20 of the status
inline constexpr std::uint8_t kIdle = 0x00; // byte 8 of the status: the I2C engine's state
inline constexpr std::uint8_t kNackState = 0x25;
// The bus clock divider of the chip's 12 MHz.
constexpr std::uint8_t Divider(int hz) { return static_cast<std::uint8_t>(12000000 / hz - 3); }
} // namespace mcp2221

class Mcp2221I2c final : public AdapterTransfer {
public:
    Mcp2221I2c(std::unique_ptr<HidReports> hid, int address) : AdapterTransfer(address), hid_(std::move(hid)) {}

    // Checks the chip's ids and its serial number where `serial`
    // names one (EMEDIUMTYPE: another device, nothing written to it), cancels what a
    // previous user left and sets the clock; 0 or the errno.
    int Setup(int hz, std::string_view serial = {});

    // The messages one after the other, each with its stop (the chip has no combined transfer).
    int Combined(std::span<const std::string_view> messages) override;
    int Write(std::string_view message) override;
    int Read(std::uint8_t& byte) override { return ReadBlock(std::span(&byte, 1)); }
    int ReadBlock(std::span<std::uint8_t> bytes) override;

private:
    // Sends a command and reads its answer, which must be the command's.
    int Command(std::span<std::uint8_t, mcp2221::kReport> report);
    // Asks the status until the engine is idle; ENXIO after a NACK (the transfer cancelled).
    int AwaitIdle();
    int Cancel();

    std::unique_ptr<HidReports> hid_;
};

} // namespace pixtera::lcd
