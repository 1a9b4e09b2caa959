// SPDX-License-Identifier: MIT
#include "ch341_i2c.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace pixtera::lcd {
namespace {

using namespace ch341;

// The chip answers at most one IN packet's worth per stream read here, and takes 4 KiB a request.
constexpr std::size_t kAnswersPerStream = kPacket;
constexpr std::size_t kLargestStream = 4096;

// Packets of a stream: each starts with the stream command and ends with STM_END where it is
// shorter than a packet; a command never straddles two packets.
class Stream {
public:
    // Appends `command` whole, in a new packet when this one has no room left for it.
    void Add(std::initializer_list<std::uint8_t> command) { Add(std::vector<std::uint8_t>(command)); }
    void Add(const std::vector<std::uint8_t>& command)
    {
        if (bytes_.empty() || room() < command.size())
            NextPacket();
        bytes_.insert(bytes_.end(), command.begin(), command.end());
    }
    // Room in this packet, keeping a byte for STM_END.
    std::size_t room() const { return bytes_.empty() ? 0 : kPacket - 1 - ((bytes_.size() - 1) % kPacket + 1); }
    void NextPacket()
    {
        if (!bytes_.empty()) {
            bytes_.push_back(kEnd);
            bytes_.resize((bytes_.size() + kPacket - 1) / kPacket * kPacket, kEnd);
        }
        bytes_.push_back(kStream);
    }
    std::vector<std::uint8_t> Finish()
    {
        bytes_.push_back(kEnd);
        return std::move(bytes_);
    }
    std::size_t size() const { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
};

// A start and the address, sent alone so that the chip answers its ACK.
void AddAddress(Stream& stream, int address, bool read)
{
    stream.Add({kStart, kOut, static_cast<std::uint8_t>(address << 1 | (read ? 1 : 0))});
}

void AddData(Stream& stream, std::string_view data)
{
    while (!data.empty()) {
        if (stream.room() < 2)
            stream.NextPacket();
        const std::size_t chunk = std::min(data.size(), stream.room() - 1);
        std::vector<std::uint8_t> command{static_cast<std::uint8_t>(kOut | chunk)};
        command.insert(command.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(chunk));
        stream.Add(command);
        data.remove_prefix(chunk);
    }
}

// A message's share of a stream: its address, its data and their commands.
std::size_t StreamBytes(std::string_view message) { return 3 + message.size() + 2 * (message.size() / 28 + 2); }

} // namespace

int Ch341I2c::Exchange(std::span<const std::uint8_t> out, std::span<std::uint8_t> answer)
{
    if (const int error = usb_->Out(out); error != 0)
        return error;
    std::size_t have = 0;
    // Each read gives at least a byte or fails; the chip answers what the stream asked for, and
    // an answer longer than that is a chip out of step with its streams (its bytes would be taken
    // for the next stream's ACKs). Whole packets are asked for, so that such a byte shows.
    std::vector<std::uint8_t> packets;
    while (have < answer.size()) {
        packets.assign((answer.size() - have + kPacket - 1) / kPacket * kPacket, 0);
        std::size_t got = 0;
        if (const int error = usb_->In(packets, got); error != 0)
            return error;
        if (got == 0)
            return EIO;
        if (got > answer.size() - have)
            return EPROTO;
        std::copy_n(packets.begin(), got, answer.begin() + static_cast<std::ptrdiff_t>(have));
        have += got;
    }
    return 0;
}

int Ch341I2c::SetSpeed(int hz)
{
    const std::uint8_t speed = hz >= 750000   ? kSpeed750k
                               : hz >= 400000 ? kSpeed400k
                               : hz >= 100000 ? kSpeed100k
                                              : kSpeed20k;
    const std::uint8_t command[] = {kStream, static_cast<std::uint8_t>(kSet | speed), kEnd};
    return usb_->Out(command);
}

int Ch341I2c::Combined(std::span<const std::string_view> messages)
{
    while (!messages.empty()) {
        // As many messages as one stream holds, each with its ACK answered.
        Stream stream;
        std::size_t taken = 0;
        while (taken < messages.size() && taken < kAnswersPerStream &&
               (taken == 0 || stream.size() + StreamBytes(messages[taken]) + kPacket < kLargestStream)) {
            AddAddress(stream, address_, false);
            AddData(stream, messages[taken]);
            ++taken;
        }
        stream.Add({kStop});
        std::vector<std::uint8_t> acks(taken);
        if (const int error = Exchange(stream.Finish(), acks); error != 0)
            return error;
        if (std::any_of(acks.begin(), acks.end(), [](std::uint8_t ack) { return (ack & kNack) != 0; }))
            return ENXIO;
        messages = messages.subspan(taken);
    }
    return 0;
}

int Ch341I2c::ReadBlock(std::span<std::uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > 1024)
        return EINVAL;
    Stream stream;
    AddAddress(stream, address_, true);
    // Each read command in a packet of its own, the last byte read alone (not acknowledged).
    std::size_t left = bytes.size() - 1;
    while (left > 0) {
        const std::size_t chunk = std::min<std::size_t>(left, kPacket - 1);
        stream.NextPacket();
        stream.Add({static_cast<std::uint8_t>(kIn | chunk)});
        left -= chunk;
    }
    stream.Add({kIn});
    stream.Add({kStop});
    std::vector<std::uint8_t> answer(1 + bytes.size());
    if (const int error = Exchange(stream.Finish(), answer); error != 0)
        return error;
    if (answer[0] & kNack)
        return ENXIO;
    std::copy(answer.begin() + 1, answer.end(), bytes.begin());
    return 0;
}

} // namespace pixtera::lcd
