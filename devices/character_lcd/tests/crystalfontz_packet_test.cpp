// SPDX-License-Identifier: MIT
// The CrystalFontz modules' packets: their CRC, and finding them in a stream with noise and
// damage in it.

#include "crystalfontz_packet.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera::lcd;

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

TEST(CrystalfontzPacket, TheCrcIsTheModulesOwn)
{
    // "send data to LCD" at column 0, row 0 with "T O M E R" and blanks, as a module took it.
    const std::string text = Bytes(
        {0x00, 0x00, 0x54, 0x20, 0x4F, 0x20, 0x4D, 0x20, 0x45, 0x20, 0x52, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20});
    const std::string bytes = EncodePacket({PacketKind::Command, 0x1F, text});
    ASSERT_EQ(bytes.size(), 2 + 18 + 2u);
    EXPECT_EQ(bytes.substr(0, 2), Bytes({0x1F, 0x12}));
    EXPECT_EQ(PacketCrc(std::string_view(bytes).substr(0, 20)), 0xE8FA);
    EXPECT_EQ(bytes.substr(20), Bytes({0xFA, 0xE8})) << "low byte first";
    EXPECT_EQ(EncodePacket({PacketKind::Response, 0x00, ""}).substr(0, 2), Bytes({0x40, 0x00}));
    EXPECT_EQ(EncodePacket({PacketKind::Command, 0x1F, std::string(40, 'x')}).size(), 2 + kLongestData + 2)
        << "data is cut to what a packet holds";
}

TEST(CrystalfontzPacket, PacketsAreFoundInPiecesAmongNoiseAndDamage)
{
    const Packet key{PacketKind::Report, 0x00, Bytes({0x01})};
    const Packet ack{PacketKind::Response, 0x1F, ""};
    std::string damaged = EncodePacket(ack);
    damaged[2] ^= 0x01;
    const std::string stream = Bytes({0xFF, 0x37}) + EncodePacket(key) + damaged + EncodePacket(ack);
    PacketReader reader;
    std::vector<Packet> found;
    for (char byte : stream) // a byte at a time: the worst a serial port can do
        for (const Packet& packet : reader.Feed(std::string_view(&byte, 1)))
            found.push_back(packet);
    EXPECT_EQ(found, (std::vector<Packet>{key, ack}));
    EXPECT_EQ(reader.dropped(), 2u + damaged.size());

    PacketReader whole;
    EXPECT_EQ(whole.Feed(EncodePacket(ack) + EncodePacket(key)), (std::vector<Packet>{ack, key}));
}

TEST(CrystalfontzPacket, NoLengthMakesTheReaderWaitBeyondAPacket)
{
    PacketReader reader;
    EXPECT_TRUE(reader.Feed(Bytes({0x80, 0xFF}) + std::string(100, '\x80')).empty());
    EXPECT_EQ(reader.Feed(EncodePacket({PacketKind::Report, 0x00, Bytes({0x07})})),
              (std::vector<Packet>{{PacketKind::Report, 0x00, Bytes({0x07})}}))
        << "what came before cannot hide a packet";
}

TEST(CrystalfontzPacket, AQuietStreamGivesUpADamagedPacketsClaimOnTheBytesBehindIt)
{
    // An answer with a damaged CRC: its CRC byte reads as a length that swallows the next answer.
    std::string damaged = EncodePacket({PacketKind::Response, 14, {}});
    damaged[3] = static_cast<char>(damaged[3] ^ 0x5A);
    damaged[2] = 20;
    const Packet answer{PacketKind::Response, 14, {}};
    PacketReader reader;
    EXPECT_TRUE(reader.Feed(damaged + EncodePacket(answer)).empty()) << "the claimed bytes have not all come";
    EXPECT_TRUE(reader.pending());
    EXPECT_EQ(reader.Flush(), std::vector<Packet>{answer});
    EXPECT_FALSE(reader.pending());
    EXPECT_EQ(reader.Feed(EncodePacket(answer)), std::vector<Packet>{answer}) << "nothing is left over";
}

} // namespace
