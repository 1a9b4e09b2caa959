// SPDX-License-Identifier: MIT
#include "picolcd_protocol.h"

#include <pixtera/sdk/display_leds.h>

#include <algorithm>

namespace pixtera::lcd {
namespace {

char Byte(int value) { return static_cast<char>(static_cast<std::uint8_t>(value)); }

bool Holds(const std::array<std::uint8_t, 2>& keys, std::uint8_t code)
{
    return code != 0 && std::find(keys.begin(), keys.end(), code) != keys.end();
}

} // namespace

void PicoLcdProtocol::Initialise(LinkBatch& batch) const
{
    if (options_.leds) {
        batch.Break();
        batch.Add(Byte(picolcd::kLeds));
        batch.Add(Byte(*options_.leds));
    }
    if (options_.contrast) {
        batch.Break();
        batch.Add(Byte(picolcd::kContrast));
        batch.Add(Byte(*options_.contrast));
    }
    SendBacklight(batch);
    const std::string blank(static_cast<std::size_t>(kPicoLcdGeometry.columns), ' ');
    for (int row = 0; row < kPicoLcdGeometry.rows; ++row) {
        MoveTo(batch, 0, row);
        Write(batch, blank);
    }
}

bool PicoLcdProtocol::Led(LinkBatch& batch, int index, long state)
{
    if (index < 0 || index >= kPicoLcdLeds || (state != kLedOff && state != kLedOn))
        return false;
    const int bit = 1 << index;
    ledMask_ = state == kLedOn ? ledMask_ | bit : ledMask_ & ~bit;
    batch.Break();
    batch.Add(Byte(picolcd::kLeds));
    batch.Add(Byte(ledMask_));
    return true;
}

void PicoLcdProtocol::MoveTo(LinkBatch& batch, int column, int row) const
{
    batch.Break();
    batch.Add(Byte(picolcd::kText));
    batch.Add(Byte(row));
    batch.Add(Byte(column));
}

void PicoLcdProtocol::WriteCodes(LinkBatch& batch, std::string_view codes) const
{
    // A run never passes the end of a row, which the report holds whole.
    codes = codes.substr(0, static_cast<std::size_t>(kPicoLcdGeometry.columns));
    batch.Add(Byte(static_cast<int>(codes.size())));
    for (char c : codes) {
        const auto byte = static_cast<std::uint8_t>(c);
        batch.Add(Byte(byte < 16 ? byte & 7 : byte)); // 8-15: user characters 0-7
    }
}

void PicoLcdProtocol::Define(LinkBatch& batch, int code, const Glyph& glyph) const
{
    batch.Break();
    batch.Add(Byte(picolcd::kGlyph));
    batch.Add(Byte(code & 7));
    for (std::uint8_t row : glyph)
        batch.Add(Byte(row & 0x1F));
}

void PicoLcdProtocol::SendBacklight(LinkBatch& batch) const
{
    batch.Break();
    batch.Add(Byte(picolcd::kBacklight));
    batch.Add(Byte(options_.backlight ? options_.brightness : 0));
}

void PicoLcdProtocol::Backlight(LinkBatch& batch, bool on)
{
    options_.backlight = on;
    SendBacklight(batch);
}

bool PicoLcdProtocol::Brightness(LinkBatch& batch, int level)
{
    options_.brightness = std::clamp(level, 0, 255);
    if (options_.backlight)
        SendBacklight(batch);
    return true;
}

std::vector<KeyEventOf> PicoLcdKeys::Decode(std::span<const std::uint8_t> report)
{
    std::vector<KeyEventOf> events;
    if (report.size() < 3 || report[0] != picolcd::kKeys)
        return events;
    const std::array<std::uint8_t, 2> now{report[1], report[2] == report[1] ? std::uint8_t{0} : report[2]};
    for (std::uint8_t code : now)
        if (code != 0 && !Holds(held_, code))
            events.push_back({KeyOf(code), kKeyPressed});
    for (std::uint8_t code : held_)
        if (code != 0 && !Holds(now, code))
            events.push_back({KeyOf(code), kKeyReleased});
    held_ = now;
    return events;
}

} // namespace pixtera::lcd
