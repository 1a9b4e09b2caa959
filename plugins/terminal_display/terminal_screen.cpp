// SPDX-License-Identifier: MIT
#include "terminal_screen.h"

#include "terminal_columns.h"

#include <pixtera/platform/codepage.h>

namespace pixtera {
namespace {

constexpr int kFirstRow = 1; // the frame's top border is on the terminal's first line

// No cell a frame can hold: marks a cell to be drawn again.
constexpr char32_t kRedraw = 0xFFFFFFFF;

std::string MoveTo(int row, int column) // 1-based, as the terminal counts
{
    return "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H";
}

// The block character that looks most like a pattern of lit pixel rows (row 0 on top).
std::string GlyphFor(const std::array<std::uint8_t, 8>& rows)
{
    int lit = 0;
    int firstLit = -1;
    int lastLit = -1;
    for (int row = 0; row < 8; ++row) {
        if (rows[static_cast<std::size_t>(row)] == 0)
            continue;
        ++lit;
        if (firstLit < 0)
            firstLit = row;
        lastLit = row;
    }
    if (lit == 0)
        return " ";
    if (lit >= 7)
        return "\u2588";
    const bool contiguous = lastLit - firstLit + 1 == lit;
    if (contiguous && firstLit == 0)
        return lit == 1 ? "\u2594" : (lit <= 5 ? "\u2580" : "\u2588");
    if (contiguous && lastLit == 7) {
        static const char* const kLower[] = {"\u2581", "\u2582", "\u2583", "\u2584", "\u2585", "\u2586", "\u2587"};
        return kLower[lit - 1];
    }
    return "\u2592";
}

} // namespace

TerminalScreen::TerminalScreen(Geometry geometry, bool terminal, ModuleColour colour, int terminalRows)
    : geometry_(geometry), terminal_(terminal), colour_(colour), terminalRows_(terminalRows)
{
    // Until the service defines them, the user characters show as full blocks.
    glyphs_.fill("\u2588");
}

void TerminalScreen::DefineCharacter(int code, const std::array<std::uint8_t, 8>& rows)
{
    const auto index = static_cast<std::size_t>(code & 7);
    glyphs_[index] = GlyphFor(rows);
    // Cells already showing the character are drawn again with its new look.
    for (auto& cell : shown_)
        if (cell < 16 && static_cast<std::size_t>(cell & 7) == index)
            cell = kRedraw;
}

std::string TerminalScreen::Cell(char32_t c) const
{
    if (c < 16)
        return glyphs_[c & 7]; // codes 0-7 and 8-15 are the user characters
    if (c < 32 || (c >= 0x7F && c < 0xA0)) // C1 too: some terminals take U+009B as CSI
        return "?";
    if (c < 0x7F)
        return std::string(1, static_cast<char>(c));
    if (TerminalColumns(c, Utf8Locale()) != 1)
        return "?";
    std::string utf8;
    AppendUtf8(utf8, c);
    return utf8;
}

std::string TerminalScreen::ColourOn() const
{
    if (!lit_)
        return "\x1b[2;90;40m"; // an unlit module: dim grey on black
    switch (colour_) {
    case ModuleColour::Blue: return "\x1b[97;44m";
    case ModuleColour::Green: return "\x1b[30;42m";
    case ModuleColour::None: break;
    }
    return {};
}

std::string TerminalScreen::Border() const
{
    return "+" + std::string(static_cast<std::size_t>(geometry_.columns), '-') + "+";
}

std::string TerminalScreen::PlainFrame(const std::u32string& frame) const
{
    std::string text = Border() + "\n";
    for (int row = 0; row < geometry_.rows; ++row) {
        text += "|";
        for (int column = 0; column < geometry_.columns; ++column)
            text += Cell(frame[static_cast<std::size_t>(row * geometry_.columns + column)]);
        text += "|\n";
    }
    return text + Border() + "\n";
}

std::string TerminalScreen::FirstDraw(const std::u32string& frame)
{
    // Clear the screen, draw the module at the top and keep everything else (the service's
    // messages) scrolling in the lines below it.
    std::string out = "\x1b[?25l\x1b[2J" + MoveTo(kFirstRow, 1) + Border() + "\r\n";
    for (int row = 0; row < geometry_.rows; ++row) {
        out += "|" + ColourOn();
        for (int column = 0; column < geometry_.columns; ++column)
            out += Cell(frame[static_cast<std::size_t>(row * geometry_.columns + column)]);
        out += "\x1b[0m|\r\n";
    }
    out += Border() + "\r\n";
    const int below = kFirstRow + geometry_.rows + 2;
    if (terminalRows_ > below)
        out += "\x1b[" + std::to_string(below) + ";" + std::to_string(terminalRows_) + "r" + MoveTo(below, 1);
    return out;
}

std::string TerminalScreen::Update(const std::u32string& frame)
{
    std::string out = "\x1b"
                      "7"; // keep the cursor where the messages are written
    for (int row = 0; row < geometry_.rows; ++row) {
        int column = 0;
        while (column < geometry_.columns) {
            const auto at = static_cast<std::size_t>(row * geometry_.columns + column);
            if (frame[at] == shown_[at]) {
                ++column;
                continue;
            }
            out += MoveTo(kFirstRow + 1 + row, column + 2) + ColourOn();
            while (column < geometry_.columns &&
                   frame[static_cast<std::size_t>(row * geometry_.columns + column)] !=
                       shown_[static_cast<std::size_t>(row * geometry_.columns + column)]) {
                out += Cell(frame[static_cast<std::size_t>(row * geometry_.columns + column)]);
                ++column;
            }
            out += "\x1b[0m";
        }
    }
    return out + "\x1b"
                 "8";
}

std::string TerminalScreen::SetLit(bool lit)
{
    if (lit == lit_)
        return {};
    lit_ = lit;
    if (!terminal_ || !drawn_)
        return {};
    const std::u32string cells = shown_;
    shown_.assign(shown_.size(), kRedraw); // every cell differs: all are drawn again
    std::string out = Update(cells);
    shown_ = cells;
    return out;
}

std::string TerminalScreen::Draw(std::u32string_view frame)
{
    // Frames of another size are cut or padded to the display's.
    std::u32string cells(frame.substr(0, static_cast<std::size_t>(geometry_.columns * geometry_.rows)));
    cells.resize(static_cast<std::size_t>(geometry_.columns * geometry_.rows), U' ');
    std::string out;
    if (!terminal_)
        out = PlainFrame(cells);
    else if (!drawn_)
        out = FirstDraw(cells);
    else
        out = Update(cells);
    drawn_ = true;
    shown_ = std::move(cells);
    return out;
}

std::string TerminalScreen::Restore() const
{
    if (!terminal_ || !drawn_)
        return {};
    // Ending the scroll region moves the cursor home, where the shell's prompt would overwrite
    // the module: keep the cursor where the messages ended, below the frame.
    return "\x1b"
           "7\x1b[r\x1b"
           "8\x1b[?25h\x1b[0m";
}

} // namespace pixtera
