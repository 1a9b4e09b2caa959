// SPDX-License-Identifier: MIT
#pragma once
// How a character display looks in a terminal: a frame around the cells, the user characters as
// block characters, only changed cells redrawn. Without a terminal, each new frame is printed as
// plain text lines. Kept apart from the COM object so that tests can drive it directly.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pixtera {

enum class ModuleColour { None, Blue, Green };

class TerminalScreen {
public:
    struct Geometry {
        int columns = 20;
        int rows = 4;
    };

    TerminalScreen(Geometry geometry, bool terminal, ModuleColour colour, int terminalRows = 0);

    // The bytes to send for a new frame: rows x columns cells, a code point each (1-15 the user
    // characters). A cell the terminal cannot show one column wide, and every control code, is
    // drawn as '?': the frame stays in its border, and no text reaches the terminal as a command.
    std::string Draw(std::u32string_view frame);
    // Defines user character `code` (0-7) from its eight pixel rows.
    void DefineCharacter(int code, const std::array<std::uint8_t, 8>& rows);
    // The module's backlight: off draws the cells dimmed. The bytes that redraw them.
    std::string SetLit(bool lit);
    // What restores the terminal when the program ends.
    std::string Restore() const;

    // The glyph a user character is drawn with.
    std::string_view Glyph(int code) const { return glyphs_[static_cast<std::size_t>(code & 7)]; }

private:
    std::string Cell(char32_t c) const;
    std::string FirstDraw(const std::u32string& frame);
    std::string Update(const std::u32string& frame);
    std::string PlainFrame(const std::u32string& frame) const;
    std::string Border() const;
    std::string ColourOn() const;

    Geometry geometry_;
    bool terminal_;
    ModuleColour colour_;
    int terminalRows_;
    std::array<std::string, 8> glyphs_;
    std::u32string shown_;
    bool drawn_ = false;
    bool lit_ = true;
};

} // namespace pixtera
