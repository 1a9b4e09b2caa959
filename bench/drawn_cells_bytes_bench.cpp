// SPDX-License-Identifier: MIT
// Bytes to an HD44780 module per frame, with the eight user characters shared by the allocator:
// a big clock counting seconds (two and four rows high), and a Russian text scrolling across an
// A00 module beside a two-row clock. Counted as the LCD writer sends them over I2C: a slot
// definition is a CGRAM address and eight rows (9 bytes), each run of changed cells a DDRAM
// address and its codes (runs as the writer's diff makes them, a one-cell gap going along).
//
// Beside it, an estimate of what LCDd's hd44780 driver sends for the same screen, where it can
// show it (docs/hardware.md says how it is made): its big-number characters written once, then
// each changed cell, an address before each run of them. LCDd cannot show the Russian text on an
// A00 module at all, nor a big number beside letters drawn in user characters.
// Target: a changing clock well under LCDd's bytes plus one definition a frame; a static screen 0.

#include <pixtera/sdk/drawn_glyph.h>
#include <pixtera/sdk/unicode_frame.h>

#include "screen_diff.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace pixtera::lcd;

constexpr std::size_t kColumns = 20;
constexpr std::size_t kRows = 4;
constexpr std::size_t kDefinitionBytes = 9;

std::u32string Utf32(std::string_view utf8)
{
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        out.push_back(rom_detail::SingleCodePoint(utf8.substr(i, length)));
        i += length;
    }
    return out;
}

// A screen of code points, row after row.
struct Screen {
    std::vector<std::u32string> rows = std::vector<std::u32string>(kRows, std::u32string(kColumns, U' '));

    void Put(std::size_t row, std::size_t column, std::u32string_view text)
    {
        for (std::size_t i = 0; i < text.size() && column + i < kColumns; ++i)
            rows[row][column + i] = text[i];
    }
    void PutBig(std::u32string_view text, int height, std::size_t column)
    {
        const BigText big = DrawBigText(text, height, kColumns - column);
        for (std::size_t row = 0; row < big.rows.size(); ++row)
            Put(row, column, big.rows[row]);
    }
    std::vector<WantedCell> Wanted(CharacterRom rom) const
    {
        std::vector<WantedCell> cells;
        for (const std::u32string& row : rows)
            for (char32_t c : row)
                cells.push_back(DrawnGlyphCell(rom, c).value_or(LetterCell(rom, c)));
        return cells;
    }
};

std::size_t RunBytes(const std::string& shown, const std::string& wanted, int jumpCost)
{
    std::size_t bytes = 0;
    for (const Run& run : ChangedRuns(shown, wanted, static_cast<int>(kColumns), jumpCost))
        bytes += 1 + run.text.size();
    return bytes;
}

struct Totals {
    std::size_t frames = 0;
    std::size_t ours = 0;
    std::size_t definitions = 0;
    std::size_t lcdd = 0;
};

// Frames after the first (the first fills an unknown module for either).
template <class MakeScreen>
Totals Frames(CharacterRom rom, std::size_t frames, MakeScreen make)
{
    Totals totals;
    UserCharacterAllocator allocator;
    std::string shown, lcddShown;
    for (std::size_t n = 0; n <= frames; ++n) {
        const Screen screen = make(n);
        const AllocatedFrame frame = allocator.Allocate(screen.Wanted(rom));
        const std::string codes(frame.codes.begin(), frame.codes.end());
        // LCDd's framebuffer holds its big-number characters at fixed codes, one for each of our
        // parts, and the text as the ROM's codes.
        std::string lcdd;
        for (const std::u32string& row : screen.rows)
            for (char32_t c : row)
                lcdd.push_back(static_cast<char>(IsDrawnGlyph(c) ? c - kBigDigitPartFirst : ResolveOnRom(rom, c).code));
        if (n > 0) {
            ++totals.frames;
            totals.definitions += frame.definitions.size();
            totals.ours += frame.definitions.size() * kDefinitionBytes + RunBytes(shown, codes, 1);
            totals.lcdd += RunBytes(lcddShown, lcdd, 0);
        }
        shown = codes;
        lcddShown = lcdd;
    }
    return totals;
}

std::u32string Clock(std::size_t second)
{
    const std::size_t minutes = (45 + second / 60) % 60, seconds = second % 60;
    std::u32string text;
    text += static_cast<char32_t>(U'0' + minutes / 10);
    text += static_cast<char32_t>(U'0' + minutes % 10);
    text += U':';
    text += static_cast<char32_t>(U'0' + seconds / 10);
    text += static_cast<char32_t>(U'0' + seconds % 10);
    return text;
}

void Print(const char* what, const Totals& totals, bool lcddCan)
{
    const double frames = static_cast<double>(totals.frames);
    std::printf("%-44s %7.1f B/frame (%.2f definitions)", what, static_cast<double>(totals.ours) / frames,
                static_cast<double>(totals.definitions) / frames);
    if (lcddCan)
        std::printf("   LCDd (estimate) %7.1f B/frame\n", static_cast<double>(totals.lcdd) / frames);
    else
        std::printf("   LCDd cannot show it\n");
}

} // namespace

int main()
{
    constexpr std::size_t kSeconds = 600;
    for (int height : {2, 4})
        for (CharacterRom rom : {CharacterRom::A00, CharacterRom::A02}) {
            const std::string what = "big clock mm:ss, " + std::to_string(height) + " rows, " + RomName(rom);
            Print(what.c_str(),
                  Frames(rom, kSeconds,
                         [&](std::size_t n) {
                             Screen screen;
                             screen.PutBig(Clock(n), height, 0);
                             return screen;
                         }),
                  true);
        }
    Print("static big clock, 4 rows, a00",
          Frames(CharacterRom::A00, 100,
                 [](std::size_t) {
                     Screen screen;
                     screen.PutBig(U"12:45", 4, 0);
                     return screen;
                 }),
          true);

    const std::u32string text = Utf32("Съешь же ещё этих мягких французских булок, да выпей чаю. ");
    for (CharacterRom rom : {CharacterRom::A00, CharacterRom::Cyrillic}) {
        const std::string what = std::string("scrolling Russian text, ") + RomName(rom);
        Print(what.c_str(),
              Frames(rom, kSeconds,
                     [&](std::size_t n) {
                         Screen screen;
                         for (std::size_t row = 0; row < kRows; ++row)
                             for (std::size_t i = 0; i < kColumns; ++i)
                                 screen.rows[row][i] = text[(n + row * 7 + i) % text.size()];
                         return screen;
                     }),
              rom == CharacterRom::Cyrillic);
    }
    Print("2-row clock + Russian text below, a00",
          Frames(CharacterRom::A00, kSeconds,
                 [&](std::size_t n) {
                     Screen screen;
                     screen.PutBig(Clock(n), 2, 0);
                     for (std::size_t i = 0; i < kColumns; ++i)
                         screen.rows[3][i] = text[(n + i) % text.size()];
                     return screen;
                 }),
          false);
    return 0;
}
