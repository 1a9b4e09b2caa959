// SPDX-License-Identifier: MIT
#include "crystalfontz_packet.h"

namespace pixtera::lcd {
namespace {

constexpr std::size_t kHeader = 2; // type and length
constexpr std::size_t kCrcBytes = 2;

} // namespace

std::uint16_t PacketCrc(std::string_view bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : static_cast<std::uint16_t>(crc >> 1);
    }
    return static_cast<std::uint16_t>(~crc);
}

std::string EncodePacket(const Packet& packet)
{
    const std::string_view data = std::string_view(packet.data).substr(0, kLongestData);
    std::string bytes;
    bytes += static_cast<char>((static_cast<unsigned>(packet.kind) << 6) | (packet.command & 0x3F));
    bytes += static_cast<char>(data.size());
    bytes += data;
    const std::uint16_t crc = PacketCrc(bytes);
    bytes += static_cast<char>(crc & 0xFF);
    bytes += static_cast<char>(crc >> 8);
    return bytes;
}

std::vector<Packet> PacketReader::Feed(std::string_view bytes)
{
    std::vector<Packet> packets;
    for (char byte : bytes) {
        pending_ += byte;
        while (const auto packet = Take())
            packets.push_back(*packet);
    }
    return packets;
}

std::vector<Packet> PacketReader::Flush()
{
    std::vector<Packet> packets;
    while (!pending_.empty()) {
        pending_.erase(0, 1);
        ++dropped_;
        while (const auto packet = Take())
            packets.push_back(*packet);
    }
    return packets;
}

std::optional<Packet> PacketReader::Take()
{
    while (pending_.size() >= kHeader) {
        const auto length = static_cast<std::uint8_t>(pending_[1]);
        if (length > kLongestData) {
            pending_.erase(0, 1);
            ++dropped_;
            continue;
        }
        const std::size_t whole = kHeader + length + kCrcBytes;
        if (pending_.size() < whole)
            return std::nullopt;
        const std::uint16_t crc = PacketCrc(std::string_view(pending_).substr(0, kHeader + length));
        const auto low = static_cast<std::uint8_t>(pending_[kHeader + length]);
        const auto high = static_cast<std::uint8_t>(pending_[kHeader + length + 1]);
        if (crc != (low | (high << 8))) {
            // Damaged, or not a packet's start: the next byte may be one.
            pending_.erase(0, 1);
            ++dropped_;
            continue;
        }
        const auto type = static_cast<std::uint8_t>(pending_[0]);
        Packet packet{static_cast<PacketKind>(type >> 6), static_cast<std::uint8_t>(type & 0x3F),
                      pending_.substr(kHeader, length)};
        pending_.erase(0, whole);
        return packet;
    }
    return std::nullopt;
}

} // namespace pixtera::lcd
