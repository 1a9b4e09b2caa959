// SPDX-License-Identifier: MIT
#pragma once
// How the operations of a character LCD are spelt as bytes on its link.

#include "device_link.h"
#include "link_batch.h"

#include <pixtera/sdk/character_rom.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pixtera::lcd {

inline constexpr int kUserCharacters = 8;
// The most LEDs a module has (a picoLCD's mask is a byte).
inline constexpr int kMostLeds = 8;
// The eight rows of a user character, five pixels each in the low bits.
using Glyph = std::array<std::uint8_t, 8>;

struct Geometry {
    int columns = 20;
    int rows = 4;
    int cells() const { return columns * rows; }
};

// Used by the writer thread alone (the backlight and brightness are state of the protocol).
class LcdProtocol {
public:
    virtual ~LcdProtocol() = default;
    // Brings the module from any state to a blank, lit (or unlit) display with the cursor hidden.
    virtual void Initialise(LinkBatch& batch) const = 0;
    virtual void MoveTo(LinkBatch& batch, int column, int row) const = 0;
    // Characters at the cursor, which moves on; `text` is in the display's code page.
    void Write(LinkBatch& batch, std::string_view text) const { WriteCodes(batch, ToModule(rom(), text)); }
    // The module's own codes at the cursor, which moves on; 0-15 are the user characters 0-7.
    virtual void WriteCodes(LinkBatch& batch, std::string_view codes) const = 0;
    // The character ROM Write maps a frame's characters to.
    virtual CharacterRom rom() const = 0;
    // Defines user character `code`; the cursor is unknown afterwards.
    virtual void Define(LinkBatch& batch, int code, const Glyph& glyph) const = 0;
    // What a cursor jump costs, counted in characters written: a gap of unchanged cells up to
    // this long is cheaper rewritten than jumped.
    virtual int jumpCost() const = 0;
    // The cursor's position at a cell, in the module's own terms, and after a character written
    // at `position`: a run that starts where the last one left the cursor needs no jump.
    virtual int CursorAt(int column, int row) const { return row * 256 + column; }
    virtual int CursorAfter(int position) const { return position + 1; }
    // Switches the backlight; later initialisations keep it so.
    virtual void Backlight(LinkBatch& batch, bool on) = 0;
    // Brightness 0-255; false (and nothing sent) on a module that cannot dim.
    virtual bool Brightness(LinkBatch&, int) { return false; }
    // LED `index` to `state` (a LedState it can show); false (and nothing sent) on a module
    // without that LED.
    virtual bool Led(LinkBatch&, int, long) { return false; }
    // The module's busy flag (bit 7) and cursor address (bits 0-6), read over `link`; nothing on a
    // module that cannot be read.
    virtual std::optional<std::uint8_t> ReadStatus(DeviceLink&) const { return std::nullopt; }
    virtual bool readable() const { return false; }
};

} // namespace pixtera::lcd
