// SPDX-License-Identifier: MIT
#pragma once
// The packets of the CrystalFontz serial modules (CFA533, CFA631, CFA633, CFA635): a type byte
// (bits 7-6 the kind, bits 5-0 the command), a length, up to kLongestData bytes of data and a
// CRC-16 over all of them (CCITT, reflected: polynomial 0x8408, seed 0xFFFF, inverted at the end),
// sent low byte first. The host sends commands; the module answers each with a response (or an
// error) and reports keys on its own.
//
// The reader takes the module's bytes as they come and finds the packets among them: a byte that
// cannot begin a packet, a length beyond the longest, or a CRC that does not match, and it drops
// the first byte and looks again from the next, so one damaged byte costs one packet at most.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::lcd {

enum class PacketKind : std::uint8_t { Command = 0, Response = 1, Report = 2, Error = 3 };

struct Packet {
    PacketKind kind = PacketKind::Command;
    std::uint8_t command = 0; // 0-63
    std::string data; // at most kLongestData bytes

    bool operator==(const Packet&) const = default;
};

inline constexpr std::size_t kLongestData = 22;

std::uint16_t PacketCrc(std::string_view bytes);

// The bytes of a packet, its CRC last; data beyond kLongestData is cut.
std::string EncodePacket(const Packet& packet);

class PacketReader {
public:
    // The packets the bytes complete, in order.
    std::vector<Packet> Feed(std::string_view bytes);
    // The stream fell quiet: what is pending waits for no more bytes. A damaged packet's length
    // may claim bytes that never come, and would hold the packets behind it until they did; the
    // packets among what is pending are returned, the rest dropped.
    std::vector<Packet> Flush();
    // Whether bytes wait for the rest of a packet.
    bool pending() const { return !pending_.empty(); }
    // Bytes given up while looking for packets (noise, damaged packets).
    std::uint64_t dropped() const { return dropped_; }

private:
    // A packet at the front of pending_, if a whole one is there; drops what cannot be one.
    std::optional<Packet> Take();

    std::string pending_; // never longer than a packet
    std::uint64_t dropped_ = 0;
};

} // namespace pixtera::lcd
