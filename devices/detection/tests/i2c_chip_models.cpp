// SPDX-License-Identifier: MIT
#include "i2c_chip_models.h"

#include <charconv>

namespace pixtera::detection::test {

void PointerChip::Write(std::string_view bytes)
{
    if (bytes.empty())
        return;
    pointer_ = static_cast<std::uint8_t>(bytes[0]);
    for (char byte : bytes.substr(1))
        cells_[pointer_++] = static_cast<std::uint8_t>(byte);
}

std::unique_ptr<I2cChip> MakeChip(std::string_view kind)
{
    if (kind == "mcp23008")
        return std::make_unique<McpChip>(lcd::Backpack::Adafruit());
    if (kind == "mcp23017")
        return std::make_unique<McpChip>(lcd::Backpack::Plate());
    const bool wired = kind.find("norw") == std::string_view::npos;
    if (kind.starts_with("a"))
        return std::make_unique<BackpackChip>(lcd::Pcf8574Pins::A(), wired);
    if (kind.starts_with("b"))
        return std::make_unique<BackpackChip>(lcd::Pcf8574Pins::B(), wired);
    if (kind.starts_with("const")) {
        unsigned value = 0;
        const auto digits = kind.substr(5);
        if (std::from_chars(digits.data(), digits.data() + digits.size(), value, 16).ec != std::errc() || value > 0xFF)
            return nullptr;
        return std::make_unique<ConstantChip>(static_cast<std::uint8_t>(value));
    }
    std::array<std::uint8_t, 256> cells{};
    if (kind == "register") {
        cells[0x0F] = 0x33; // who-am-I
        return std::make_unique<PointerChip>(cells);
    }
    if (kind == "eeprom") {
        for (std::size_t i = 0; i < cells.size(); ++i)
            cells[i] = static_cast<std::uint8_t>(i);
        return std::make_unique<PointerChip>(cells);
    }
    return nullptr;
}

} // namespace pixtera::detection::test
