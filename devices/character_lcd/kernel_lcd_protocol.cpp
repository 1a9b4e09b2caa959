// SPDX-License-Identifier: MIT
#include "kernel_lcd_protocol.h"

#include <cstdio>
#include <string>

namespace pixtera::lcd {
namespace {

constexpr std::string_view kCommand = "\x1b[L";

void Command(LinkBatch& batch, std::string_view command)
{
    batch.Add(kCommand);
    batch.Add(command);
}

} // namespace

void KernelLcdProtocol::Initialise(LinkBatch& batch) const
{
    // The driver keeps an unfinished escape sequence across opens (a writer killed halfway): a
    // newline ends it. Then the controller is set up afresh, as after a loss of power, with the
    // display on and neither cursor nor blinking (the kernel starts with both).
    batch.Add('\n');
    Command(batch, "I");
    Command(batch, "D");
    Command(batch, "c");
    Command(batch, "b");
    Command(batch, backlight_ ? "+" : "-");
    batch.Add("\x1b[2J"); // blank, the cursor home
}

void KernelLcdProtocol::MoveTo(LinkBatch& batch, int column, int row) const
{
    Command(batch, "x" + std::to_string(column) + "y" + std::to_string(row) + ";");
}

void KernelLcdProtocol::WriteCodes(LinkBatch& batch, std::string_view codes) const
{
    for (char c : codes) {
        const auto character = static_cast<std::uint8_t>(c);
        // Codes 0-7 and 8-15 are the user characters 0-7 (the controller mirrors them); 8-15 would
        // reach the driver as backspace, tab, newline and form feed.
        std::uint8_t code = character < 0x10 ? character & 7 : character;
        if (code >= 0x08 && code < 0x20) // never an escape or another control: the ROMs map none here
            code = ' ';
        batch.Add(static_cast<char>(code));
    }
}

void KernelLcdProtocol::Define(LinkBatch& batch, int code, const Glyph& glyph) const
{
    std::string command = "G" + std::to_string(code & 7);
    for (std::uint8_t row : glyph) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", row & 0x1F);
        command += digits;
    }
    Command(batch, command + ";");
}

void KernelLcdProtocol::Backlight(LinkBatch& batch, bool on)
{
    backlight_ = on;
    Command(batch, on ? "+" : "-");
}

} // namespace pixtera::lcd
