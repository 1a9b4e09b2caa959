// SPDX-License-Identifier: MIT
#include "mcp230xx_model.h"

namespace pixtera::lcd::test {

Mcp230xxModel::Mcp230xxModel(const Backpack& backpack)
    : backpack_(backpack),
      registerCount_(backpack.chip == ExpanderChip::Mcp23017 ? 2 * mcp::kRegisters : mcp::kRegisters),
      lcdPort_(backpack.chip == ExpanderChip::Mcp23017 ? mcp::kPortB : mcp::kPortA),
      module_(backpack.pins, backpack.pins.rw != 0)
{
    for (auto& port : registers_)
        port[mcp::kIodir] = 0xFF; // every pin an input after power-on
}

std::uint8_t& Mcp230xxModel::At(int address)
{
    const bool wide = backpack_.chip == ExpanderChip::Mcp23017;
    return registers_[static_cast<std::size_t>(wide ? address % 2 : 0)]
                     [static_cast<std::size_t>(wide ? address / 2 : address)];
}

std::uint8_t Mcp230xxModel::Register(int address) const
{
    return Valid(address) ? const_cast<Mcp230xxModel*>(this)->At(address) : 0;
}

std::uint8_t Mcp230xxModel::Pins(int port) const
{
    const auto& reg = registers_[static_cast<std::size_t>(port)];
    const auto outputs = static_cast<std::uint8_t>(reg[mcp::kOlat] & ~reg[mcp::kIodir]);
    if (port == lcdPort_) {
        // Inputs float high; the controller drives D4-D7 low where its status says so.
        const auto lines = static_cast<std::uint8_t>(outputs | reg[mcp::kIodir]);
        const std::uint8_t driven = const_cast<Hd44780Model&>(module_).Read();
        const std::uint8_t data = backpack_.pins.dataLines();
        return static_cast<std::uint8_t>((lines & ~(data & reg[mcp::kIodir])) | (driven & data & reg[mcp::kIodir]));
    }
    const auto inputs = static_cast<std::uint8_t>(reg[mcp::kIodir] & reg[mcp::kGppu] & ~pressed_);
    return static_cast<std::uint8_t>(outputs | inputs);
}

void Mcp230xxModel::Store(int address, std::uint8_t value)
{
    if (!Valid(address))
        return;
    const bool wide = backpack_.chip == ExpanderChip::Mcp23017;
    const int reg = wide ? address / 2 : address;
    const int port = wide ? address % 2 : 0;
    ++dataWrites_;
    switch (reg) {
    case mcp::kIocon:
        if (value & mcp::kBank)
            bankSet_ = true;
        value &= wide ? 0x7E : 0x3E; // unimplemented bits read 0
        registers_[0][mcp::kIocon] = registers_[1][mcp::kIocon] = value; // one register, two addresses
        return;
    case mcp::kIntf:
    case mcp::kIntcap: return; // read-only
    case mcp::kGpio: registers_[static_cast<std::size_t>(port)][mcp::kOlat] = value; break;
    default: registers_[static_cast<std::size_t>(port)][static_cast<std::size_t>(reg)] = value;
    }
    if (port == lcdPort_)
        FollowLcdPort();
}

void Mcp230xxModel::FollowLcdPort()
{
    const auto& reg = registers_[static_cast<std::size_t>(lcdPort_)];
    const auto lines = static_cast<std::uint8_t>((reg[mcp::kOlat] & ~reg[mcp::kIodir]) | reg[mcp::kIodir]);
    if (lines == fed_)
        return;
    fed_ = lines;
    module_.Feed(std::string_view(reinterpret_cast<const char*>(&lines), 1));
    const Pcf8574Pins& pins = backpack_.pins;
    const bool reading = pins.rw && (lines & pins.rw) && (lines & pins.enable);
    if (reading && (~reg[mcp::kIodir] & pins.dataLines()))
        ++clashes_;
}

void Mcp230xxModel::Advance()
{
    const bool byteMode = registers_[0][mcp::kIocon] & mcp::kSeqop;
    if (!Valid(pointer_))
        return;
    if (!byteMode)
        pointer_ = (pointer_ + 1) % registerCount_;
    else if (backpack_.chip == ExpanderChip::Mcp23017)
        pointer_ ^= 1;
}

void Mcp230xxModel::Write(std::string_view message)
{
    if (message.empty())
        return;
    pointer_ = static_cast<std::uint8_t>(message[0]);
    for (char byte : message.substr(1)) {
        Store(pointer_, static_cast<std::uint8_t>(byte));
        Advance();
    }
}

std::uint8_t Mcp230xxModel::Read()
{
    std::uint8_t value = 0;
    if (Valid(pointer_)) {
        const bool wide = backpack_.chip == ExpanderChip::Mcp23017;
        const int reg = wide ? pointer_ / 2 : pointer_;
        const int port = wide ? pointer_ % 2 : 0;
        const auto& file = registers_[static_cast<std::size_t>(port)];
        value = reg == mcp::kGpio ? static_cast<std::uint8_t>(Pins(port) ^ (file[mcp::kIpol] & file[mcp::kIodir]))
                                  : At(pointer_);
    }
    Advance();
    return value;
}

} // namespace pixtera::lcd::test
