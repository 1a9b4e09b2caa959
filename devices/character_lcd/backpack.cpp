// SPDX-License-Identifier: MIT
#include "backpack.h"

namespace pixtera::lcd {

const char* ExpanderName(ExpanderChip chip)
{
    switch (chip) {
    case ExpanderChip::Pcf8574: break;
    case ExpanderChip::Mcp23008: return "MCP23008";
    case ExpanderChip::Mcp23017: return "MCP23017";
    }
    return "PCF8574";
}

const char* ExpanderKey(ExpanderChip chip)
{
    switch (chip) {
    case ExpanderChip::Pcf8574: break;
    case ExpanderChip::Mcp23008: return "mcp23008";
    case ExpanderChip::Mcp23017: return "mcp23017";
    }
    return "pcf8574";
}

std::optional<ExpanderChip> ParseExpander(std::string_view key)
{
    for (const auto chip : {ExpanderChip::Pcf8574, ExpanderChip::Mcp23008, ExpanderChip::Mcp23017})
        if (key == ExpanderKey(chip))
            return chip;
    return std::nullopt;
}

Backpack Backpack::Adafruit()
{
    return Backpack(ExpanderChip::Mcp23008, Pcf8574Pins{0x02, 0x00, 0x04, 0x80, {0x08, 0x10, 0x20, 0x40}});
}

Backpack Backpack::Plate()
{
    Backpack plate(ExpanderChip::Mcp23017, Pcf8574Pins{0x80, 0x40, 0x20, 0x01, {0x10, 0x08, 0x04, 0x02}});
    plate.backlightLow = true;
    plate.portABacklight = 0xC0;
    plate.portAInputs = 0x1F;
    return plate;
}

} // namespace pixtera::lcd
