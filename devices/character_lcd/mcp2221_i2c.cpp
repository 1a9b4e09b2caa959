// SPDX-License-Identifier: MIT
#include "mcp2221_i2c.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace pixtera::lcd {
namespace {

using namespace mcp2221;
using Report = std::array<std::uint8_t, kReport>;

// A message of the chip's is at most 65535 bytes; a module's are far shorter.
constexpr std::size_t kLongest = 0xFFFF;
// Status asks before a transfer is taken as stuck: at 100 kHz a 60-byte report is 6 ms, an
// answer about 1 ms.
constexpr int kStatusTries = 100;

} // namespace

int Mcp2221I2c::Command(std::span<std::uint8_t, kReport> report)
{
    // hidraw takes the report ID first: the chip numbers none.
    std::array<std::uint8_t, kReport + 1> out{};
    std::copy(report.begin(), report.end(), out.begin() + 1);
    const std::uint8_t command = report[0];
    if (const int error = hid_->Write(out); error != 0)
        return error;
    for (int reads = 0; reads < 4; ++reads) {
        std::size_t got = 0;
        if (const int error = hid_->Read(report, got); error != 0)
            return error;
        if (got == kReport && report[0] == command)
            return 0;
    }
    return EPROTO;
}

int Mcp2221I2c::Cancel()
{
    Report report{kStatus, 0, kCancel};
    return Command(report);
}

int Mcp2221I2c::Setup(int hz, std::string_view serial)
{
    if (const int error = IdentifyAs(*hid_, kVendor, kProduct, serial); error != 0)
        return error;
    Report report{kStatus, 0, kCancel, kSetSpeed, Divider(hz)};
    if (const int error = Command(report); error != 0)
        return error;
    if (report[1] != 0)
        return EIO;
    if (report[3] == kSpeedSet)
        return 0;
    // Not taken while a transfer was under way, which the cancel ends: asked once more. A chip
    // left at another clock would be paced for the wrong one.
    report = Report{kStatus, 0, 0, kSetSpeed, Divider(hz)};
    if (const int error = Command(report); error != 0)
        return error;
    return report[1] == 0 && report[3] == kSpeedSet ? 0 : EBUSY;
}

int Mcp2221I2c::AwaitIdle()
{
    for (int tries = 0; tries < kStatusTries; ++tries) {
        Report report{kStatus};
        if (const int error = Command(report); error != 0)
            return error;
        if ((report[20] & kAddressNack) || report[8] == kNackState) {
            // The engine waits for a cancel after a NACK.
            if (const int error = Cancel(); error != 0)
                return error;
            return ENXIO;
        }
        if (report[8] == kIdle)
            return 0;
    }
    Cancel();
    return ETIMEDOUT;
}

int Mcp2221I2c::Write(std::string_view message)
{
    if (message.size() > kLongest)
        return EINVAL;
    const auto total = message.size();
    do {
        const std::size_t chunk = std::min(message.size(), kChunk);
        Report report{kWrite, static_cast<std::uint8_t>(total & 0xFF), static_cast<std::uint8_t>(total >> 8),
                      static_cast<std::uint8_t>(address_ << 1)};
        std::copy_n(message.begin(), chunk, report.begin() + 4);
        if (const int error = Command(report); error != 0)
            return error;
        if (report[1] != 0) // busy: a NACK earlier in this message, or another user's transfer
            return AwaitIdle() == ENXIO ? ENXIO : EBUSY;
        message.remove_prefix(chunk);
    } while (!message.empty());
    return AwaitIdle();
}

int Mcp2221I2c::Combined(std::span<const std::string_view> messages)
{
    for (const auto message : messages)
        if (const int error = Write(message); error != 0)
            return error;
    return 0;
}

int Mcp2221I2c::ReadBlock(std::span<std::uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > kLongest)
        return EINVAL;
    Report request{kRead, static_cast<std::uint8_t>(bytes.size() & 0xFF), static_cast<std::uint8_t>(bytes.size() >> 8),
                   static_cast<std::uint8_t>(address_ << 1 | 1)};
    if (const int error = Command(request); error != 0)
        return error;
    if (request[1] != 0)
        return AwaitIdle() == ENXIO ? ENXIO : EBUSY;
    std::size_t have = 0;
    for (int tries = 0; have < bytes.size() && tries < kStatusTries; ++tries) {
        Report report{kGetData};
        if (const int error = Command(report); error != 0)
            return error;
        // 0x7F as the length: an error, a NACK among them.
        if (report[1] != 0 || report[3] == 0x7F) {
            const int state = AwaitIdle();
            return state != 0 ? state : EIO;
        }
        // More than asked for is another read's data, not this one's.
        if (report[3] > kChunk || report[3] > bytes.size() - have)
            return EPROTO;
        const std::size_t got = report[3];
        std::copy_n(report.begin() + 4, got, bytes.begin() + static_cast<std::ptrdiff_t>(have));
        have += got;
    }
    return have == bytes.size() ? 0 : ETIMEDOUT;
}

} // namespace pixtera::lcd
