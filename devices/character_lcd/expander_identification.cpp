// SPDX-License-Identifier: MIT
#include "expander_identification.h"

#include <algorithm>
#include <array>

namespace pixtera::lcd {
namespace {

// A chip's registers as read, by the MCP23008's numbering, per port.
struct RegisterFile {
    std::array<std::array<std::uint8_t, mcp::kRegisters>, 2> ports{};
    int portCount = 1;
    std::uint8_t At(int port, int reg) const
    {
        return ports[static_cast<std::size_t>(port)][static_cast<std::size_t>(reg)];
    }
};

// The relations every MCP230xx register file keeps, in any configuration.
bool Consistent(const RegisterFile& file, std::uint8_t ioconReadsZero)
{
    if (file.At(0, mcp::kIocon) & ioconReadsZero)
        return false;
    for (int port = 0; port < file.portCount; ++port) {
        if (file.At(port, mcp::kIntf) & ~file.At(port, mcp::kGpinten))
            return false; // a flag without its interrupt enabled
        if ((file.At(port, mcp::kGpio) ^ file.At(port, mcp::kOlat)) & ~file.At(port, mcp::kIodir))
            return false; // an output that does not read as latched
    }
    return file.portCount == 1 || file.At(0, mcp::kIocon) == file.At(1, mcp::kIocon); // one IOCON, two addresses
}

// Whether `reads`, beginning at register address `start`, are the sequential reads of a chip
// with `size` registers (BANK=0 addressing): every register but GPIO the same on each pass, and
// the file consistent.
bool Fits(std::span<const std::uint8_t> reads, int start, ExpanderChip chip)
{
    const int ports = chip == ExpanderChip::Mcp23017 ? 2 : 1;
    const int size = mcp::kRegisters * ports;
    if (reads.size() < static_cast<std::size_t>(size))
        return false;
    RegisterFile file;
    file.portCount = ports;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const int address = (start + static_cast<int>(i)) % size;
        const int reg = address / ports;
        const int port = address % ports;
        if (i < static_cast<std::size_t>(size))
            file.ports[static_cast<std::size_t>(port)][static_cast<std::size_t>(reg)] = reads[i];
        else if (reg != mcp::kGpio && reads[i] != reads[i - static_cast<std::size_t>(size)])
            return false; // inputs may change between passes, registers may not
    }
    // MCP23008: IOCON bits 7, 6 and 0 are not there; MCP23017: bit 0, and BANK is 0 in this layout.
    if (!Consistent(file, chip == ExpanderChip::Mcp23017 ? 0x81 : 0xC1))
        return false;
    // The outputs read as latched on every pass, not only the first.
    for (std::size_t i = static_cast<std::size_t>(size); i < reads.size(); ++i) {
        const int address = (start + static_cast<int>(i)) % size;
        const int port = address % ports;
        if (address / ports == mcp::kGpio &&
            ((reads[i] ^ file.At(port, mcp::kOlat)) & ~file.At(port, mcp::kIodir)) != 0)
            return false;
    }
    return true;
}

bool FitsAnywhere(std::span<const std::uint8_t> reads, ExpanderChip chip)
{
    const int size = mcp::kRegisters * (chip == ExpanderChip::Mcp23017 ? 2 : 1);
    for (int start = 0; start < size; ++start)
        if (Fits(reads, start, chip))
            return true;
    return false;
}

bool RepeatsEvery(std::span<const std::uint8_t> reads, std::size_t period)
{
    for (std::size_t i = period; i < reads.size(); ++i)
        if (reads[i] != reads[i - period])
            return false;
    return true;
}

bool Alike(std::span<const std::uint8_t> reads)
{
    return std::adjacent_find(reads.begin(), reads.end(), std::not_equal_to<>()) == reads.end();
}

// E (P2 in map a, P4 in map b) and the backlight (P3, P7) low; the pins high are HD44780 inputs
// with pull-ups. Read twice, which catches a chip whose pointer runs on.
constexpr std::uint8_t kPinPatterns[] = {0x00, 0x63, 0x22};

} // namespace

const char* FoundName(ExpanderFound found)
{
    switch (found) {
    case ExpanderFound::Absent: return "nothing";
    case ExpanderFound::Pcf8574: return "PCF8574";
    case ExpanderFound::Mcp23008: return "MCP23008";
    case ExpanderFound::Mcp23017: return "MCP23017";
    case ExpanderFound::PortLike: return "a PCF8574 or a chip reading a constant";
    case ExpanderFound::Unknown: break;
    }
    return "an unknown chip";
}

std::optional<ExpanderChip> ChipOf(ExpanderFound found)
{
    switch (found) {
    case ExpanderFound::Pcf8574: return ExpanderChip::Pcf8574;
    case ExpanderFound::Mcp23008: return ExpanderChip::Mcp23008;
    case ExpanderFound::Mcp23017: return ExpanderChip::Mcp23017;
    default: return std::nullopt;
    }
}

ExpanderFound ClassifyReads(std::span<const std::uint8_t> reads)
{
    if (Alike(reads))
        return ExpanderFound::PortLike;
    if (FitsAnywhere(reads, ExpanderChip::Mcp23008))
        return ExpanderFound::Mcp23008;
    // What repeats every 11 reads is no MCP23017: that would take IODIRA equal to IOCON, IODIRB
    // to GPPUA and so on throughout.
    if (!RepeatsEvery(reads, mcp::kRegisters) && FitsAnywhere(reads, ExpanderChip::Mcp23017))
        return ExpanderFound::Mcp23017;
    return ExpanderFound::Unknown;
}

ExpanderFound IdentifyByReads(I2cDevice& device)
{
    std::array<std::uint8_t, kIdentificationReads> reads{};
    if (!device.Read(reads))
        return ExpanderFound::Absent;
    return ClassifyReads(reads);
}

bool ReadsBackAsPcf8574(I2cDevice& device)
{
    for (const std::uint8_t pattern : kPinPatterns) {
        if (!device.Write(std::string_view(reinterpret_cast<const char*>(&pattern), 1)))
            return false;
        for (int read = 0; read < 2; ++read) {
            std::uint8_t lines = 0;
            if (!device.Read(std::span(&lines, 1)) || lines != pattern)
                return false;
        }
    }
    return true;
}

ExpanderFound IdentifyByPointer(I2cDevice& device)
{
    std::array<std::uint8_t, 2 * mcp::kRegisters> registers{};
    for (std::size_t address = 0; address < registers.size(); ++address) {
        const auto pointer = static_cast<char>(address);
        if (!device.Write(std::string_view(&pointer, 1)) || !device.Read(std::span(&registers[address], 1)))
            return ExpanderFound::Unknown;
    }
    if (Alike(registers))
        return ExpanderFound::Unknown;
    // Read at their addresses, so only one layout is tried each. Should both fit, the one in byte
    // mode (IOCON.SEQOP) is the one, since that is why reading in turn did not tell it; should
    // both or neither be, it cannot be told.
    bool mcp23017 = Fits(registers, 0, ExpanderChip::Mcp23017);
    bool mcp23008 = Fits(std::span(registers).first(mcp::kRegisters), 0, ExpanderChip::Mcp23008);
    if (mcp23017 && mcp23008) {
        mcp23017 = registers[McpRegister(ExpanderChip::Mcp23017, mcp::kIocon, mcp::kPortA)] & mcp::kSeqop;
        mcp23008 = registers[mcp::kIocon] & mcp::kSeqop;
    }
    if (mcp23017 == mcp23008)
        return ExpanderFound::Unknown;
    return mcp23017 ? ExpanderFound::Mcp23017 : ExpanderFound::Mcp23008;
}

ExpanderFound IdentifyExpander(I2cDevice& device)
{
    const ExpanderFound found = IdentifyByReads(device);
    if (found == ExpanderFound::PortLike && ReadsBackAsPcf8574(device))
        return ExpanderFound::Pcf8574;
    if (found == ExpanderFound::PortLike || found == ExpanderFound::Unknown)
        return IdentifyByPointer(device);
    return found;
}

} // namespace pixtera::lcd
