// SPDX-License-Identifier: MIT
#include "serial_lcd_protocol.h"

namespace pixtera::lcd {
namespace {

void Command(LinkBatch& batch, char command)
{
    batch.Add(kSerialPrefix);
    batch.Add(command);
}

} // namespace

void SerialLcdProtocol::Initialise(LinkBatch& batch) const
{
    Command(batch, 0x52); // auto scroll off
    Command(batch, 0x44); // line wrap off
    Command(batch, 0x4B); // underline cursor off
    Command(batch, 0x54); // blinking cursor off
    if (extras_.model == SerialModel::Adafruit) {
        Command(batch, static_cast<char>(0xD1));
        batch.Add(static_cast<char>(extras_.size.columns));
        batch.Add(static_cast<char>(extras_.size.rows));
        Command(batch, static_cast<char>(0xD0));
        for (std::uint8_t part : extras_.colour)
            batch.Add(static_cast<char>(part));
    }
    if (extras_.keyRepeat == KeyRepeat::Off) {
        Command(batch, 0x60);
    } else if (extras_.keyRepeat) {
        Command(batch, 0x7E);
        batch.Add(extras_.keyRepeat == KeyRepeat::Typematic ? '\0' : '\1');
    }
    SwitchBacklight(batch, options_.backlight);
    if (options_.contrast) {
        Command(batch, 0x50);
        batch.Add(static_cast<char>(*options_.contrast));
    }
    if (options_.brightness) {
        Command(batch, static_cast<char>(0x99));
        batch.Add(static_cast<char>(*options_.brightness));
    }
    Command(batch, 0x58);
    batch.Pause(std::chrono::microseconds(10000)); // modules clear at their own pace
}

void SerialLcdProtocol::SwitchBacklight(LinkBatch& batch, bool on)
{
    if (on) {
        Command(batch, 0x42);
        batch.Add('\0'); // on for good, not for minutes
    } else {
        Command(batch, 0x46);
    }
}

void SerialLcdProtocol::Backlight(LinkBatch& batch, bool on)
{
    options_.backlight = on;
    SwitchBacklight(batch, on);
}

bool SerialLcdProtocol::Brightness(LinkBatch& batch, int level)
{
    options_.brightness = level;
    Command(batch, static_cast<char>(0x99));
    batch.Add(static_cast<char>(level));
    return true;
}

void SerialLcdProtocol::MoveTo(LinkBatch& batch, int column, int row) const
{
    Command(batch, 0x47);
    batch.Add(static_cast<char>(column + 1));
    batch.Add(static_cast<char>(row + 1));
}

void SerialLcdProtocol::WriteCodes(LinkBatch& batch, std::string_view codes) const
{
    for (char c : codes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 16)
            batch.Add(static_cast<char>(byte & 7)); // codes 0-7 and 8-15 are the user characters 0-7
        else
            batch.Add(static_cast<char>(byte == 0xFE ? ' ' : byte)); // never the command prefix
    }
}

void SerialLcdProtocol::Define(LinkBatch& batch, int code, const Glyph& glyph) const
{
    Command(batch, 0x4E);
    batch.Add(static_cast<char>(code & 7));
    for (std::uint8_t row : glyph)
        batch.Add(static_cast<char>(row & 0x1F));
}

} // namespace pixtera::lcd
