// SPDX-License-Identifier: MIT
#pragma once
// I2C through a CH341A in its I2C mode (USB 1a86:5512): the chip runs a stream of commands sent in
// 32-byte packets on bulk endpoint 0x02 and answers on 0x82. A frame's messages go as one stream
// (a bulk transfer of several packets), each message's address written so that the chip answers
// its ACK, which is read back with the one bulk-in the stream needs.

#include "adapter_transfer.h"
#include "usb_transport.h"

#include <memory>

namespace pixtera::lcd {

namespace ch341 {
inline constexpr std::uint8_t kStream = 0xAA;
inline constexpr std::uint8_t kStart = 0x74, kStop = 0x75, kOut = 0x80, kIn = 0xC0, kSet = 0x60, kEnd = 0x00;
inline constexpr std::size_t kPacket = 32;
inline constexpr std::uint8_t kNack = 0x80; // in the byte an OUT of length 0 answers
// STM_SET's speeds.
inline constexpr std::uint8_t kSpeed20k = 0, kSpeed100k = 1, kSpeed400k = 2, kSpeed750k = 3;
} // namespace ch341

class Ch341I2c final : public AdapterTransfer {
public:
    Ch341I2c(std::unique_ptr<UsbBulk> usb, int address) : AdapterTransfer(address), usb_(std::move(usb)) {}

    // The bus clock: 100 or 400 kHz; 0 or the errno.
    int SetSpeed(int hz);

    // ENXIO: an address was not acknowledged.
    int Combined(std::span<const std::string_view> messages) override;
    int Write(std::string_view message) override { return Combined(std::span(&message, 1)); }
    int Read(std::uint8_t& byte) override { return ReadBlock(std::span(&byte, 1)); }
    int ReadBlock(std::span<std::uint8_t> bytes) override;

private:
    int Exchange(std::span<const std::uint8_t> out, std::span<std::uint8_t> answer);

    std::unique_ptr<UsbBulk> usb_;
};

} // namespace pixtera::lcd
