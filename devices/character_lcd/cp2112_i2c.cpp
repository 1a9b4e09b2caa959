// SPDX-License-Identifier: MIT
#include "cp2112_i2c.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace pixtera::lcd {
namespace {

using namespace cp2112;
using Report = std::array<std::uint8_t, kReport>;

constexpr int kStatusTries = 100;
constexpr std::uint16_t kTimeoutMs = 100; // a module takes a message in a few milliseconds

} // namespace

int Cp2112I2c::ReadReport(std::uint8_t id, std::span<std::uint8_t, kReport> report, std::size_t shortest,
                          std::size_t& got)
{
    // Other input reports (an answer to a request of an earlier user) are passed over.
    for (int reads = 0; reads < 8; ++reads) {
        got = 0;
        if (const int error = hid_->Read(report, got); error != 0)
            return error;
        got = std::min(got, report.size());
        // A short report leaves nothing of an earlier one to be taken for its own.
        std::fill(report.begin() + static_cast<std::ptrdiff_t>(got), report.end(), 0);
        if (got >= 1 && report[0] == id)
            return got >= shortest ? 0 : EPROTO;
    }
    return EPROTO;
}

int Cp2112I2c::Setup(int hz, std::string_view serial)
{
    if (const int error = IdentifyAs(*hid_, kVendor, kProduct, serial); error != 0)
        return error;
    const auto clock = static_cast<std::uint32_t>(hz);
    const std::uint8_t config[] = {kSmbusConfig,
                                   static_cast<std::uint8_t>(clock >> 24),
                                   static_cast<std::uint8_t>(clock >> 16),
                                   static_cast<std::uint8_t>(clock >> 8),
                                   static_cast<std::uint8_t>(clock),
                                   0x02, // the chip's own address
                                   0, // no automatic read response
                                   static_cast<std::uint8_t>(kTimeoutMs >> 8),
                                   static_cast<std::uint8_t>(kTimeoutMs & 0xFF),
                                   static_cast<std::uint8_t>(kTimeoutMs >> 8),
                                   static_cast<std::uint8_t>(kTimeoutMs & 0xFF),
                                   0, // no SCL low timeout
                                   0,
                                   1}; // one try, so that a NACK ends the transfer
    return hid_->SetFeature(config);
}

int Cp2112I2c::AwaitEnd()
{
    for (int tries = 0; tries < kStatusTries; ++tries) {
        const std::uint8_t request[] = {kStatusRequest, 0x01};
        if (const int error = hid_->Write(request); error != 0)
            return error;
        Report status{};
        std::size_t got = 0;
        if (const int error = ReadReport(kStatusResponse, status, 3, got); error != 0)
            return error;
        switch (status[1]) {
        case kIdle:
        case kComplete: return 0;
        case kError: return status[2] == kTimeoutNack ? ENXIO : EIO;
        default: break; // busy
        }
    }
    // The chip takes no other transfer until this one is ended (a cancel that fails shows in the
    // next transfer).
    const std::uint8_t cancel[] = {kCancel, 0x01};
    hid_->Write(cancel);
    return ETIMEDOUT;
}

int Cp2112I2c::Write(std::string_view message)
{
    // A longer message cannot be one on the bus; the writer's are far shorter.
    if (message.empty() || message.size() > kLargestWrite)
        return EINVAL;
    std::array<std::uint8_t, kReport> report{kWrite, static_cast<std::uint8_t>(address_ << 1),
                                             static_cast<std::uint8_t>(message.size())};
    std::copy(message.begin(), message.end(), report.begin() + 3);
    if (const int error = hid_->Write(std::span(report).first(3 + message.size())); error != 0)
        return error;
    return AwaitEnd();
}

int Cp2112I2c::Combined(std::span<const std::string_view> messages)
{
    // A message longer than the chip takes is refused before anything is sent: the writer then
    // gives each message on its own, and Write refuses it the same way.
    if (std::any_of(messages.begin(), messages.end(), [](auto m) { return m.empty() || m.size() > kLargestWrite; }))
        return EINVAL;
    for (const auto message : messages)
        if (const int error = Write(message); error != 0)
            return error;
    return 0;
}

int Cp2112I2c::ReadBlock(std::span<std::uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > kLargestRead)
        return EINVAL;
    const auto length = static_cast<std::uint16_t>(bytes.size());
    const std::uint8_t request[] = {kReadRequest, static_cast<std::uint8_t>(address_ << 1 | 1),
                                    static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    if (const int error = hid_->Write(request); error != 0)
        return error;
    if (const int error = AwaitEnd(); error != 0)
        return error;
    std::size_t have = 0;
    for (int tries = 0; have < bytes.size() && tries < kStatusTries; ++tries) {
        const auto left = static_cast<std::uint16_t>(bytes.size() - have);
        const std::uint8_t force[] = {kReadForce, static_cast<std::uint8_t>(left >> 8),
                                      static_cast<std::uint8_t>(left)};
        if (const int error = hid_->Write(force); error != 0)
            return error;
        Report response{};
        std::size_t got = 0;
        if (const int error = ReadReport(kReadResponse, response, 3, got); error != 0)
            return error;
        if (response[1] == kError)
            return EIO;
        // The bytes it says it has must be in the report, and no more than asked for (more would
        // be another read's).
        if (response[2] > got - 3 || response[2] > left)
            return EPROTO;
        std::copy_n(response.begin() + 3, response[2], bytes.begin() + static_cast<std::ptrdiff_t>(have));
        have += response[2];
    }
    return have == bytes.size() ? 0 : ETIMEDOUT;
}

} // namespace pixtera::lcd
