// SPDX-License-Identifier: MIT
#pragma once
// Digits two or four rows high, drawn from a few part glyphs that become user characters: five
// parts for two rows (four slots where the ROM has a full block of its own), six for four rows,
// so a big clock leaves slots for a bar or letters beside it. Each part falls back to a ROM
// character that keeps the number legible when no slot is left (a block, '-', '_', '=').
//
// A digit is a seven-segment figure three cells wide; which part a cell shows follows from the
// segments lit, so the tables below are the segments and the rule.

#include <pixtera/sdk/letter_font.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::lcd {

// The part glyphs, U+F040 on (kBigDigitPartFirst in drawn_glyph.h).
enum class BigDigitPart : std::uint8_t {
    Full, // both heights: a vertical stroke
    Dot, // both heights: one dot of a colon
    TopBar, // two rows: a stroke along the top
    BottomBar, // two rows: along the bottom
    BothBars, // two rows: along the top and the bottom
    UpperHalf, // four rows: the top stroke
    LowerHalf, // four rows: the bottom stroke
    LowQuarter, // four rows: the middle stroke's upper half, in the cell above the middle
    HighQuarter, // four rows: its lower half, in the cell below
};

inline constexpr std::size_t kBigDigitParts = 9;
inline constexpr char32_t kBigDigitPartCodeFirst = 0xF040;

inline constexpr char32_t CodeOf(BigDigitPart part) { return kBigDigitPartCodeFirst + static_cast<char32_t>(part); }

struct BigDigitPartGlyph {
    BigDigitPart part;
    const char* name;
    Glyph rows;
    // A character whose ROM glyph is this very part: a ROM that has it needs no slot for it.
    char32_t twin;
    // Tried in order on the module's ROM when no slot is left; the first it shows as itself is
    // written (else the last one's look-alike).
    std::u32string_view fallbacks;
};

// clang-format off
inline constexpr BigDigitPartGlyph kBigDigitPartGlyphs[kBigDigitParts] = {
    {BigDigitPart::Full, "full", {0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F}, U'\u2588', U"#"},
    {BigDigitPart::Dot, "dot", {0x00, 0x00, 0x0E, 0x0E, 0x0E, 0x00, 0x00, 0x00}, 0, U"\u00B7\u30FB."},
    {BigDigitPart::TopBar, "top bar", {0x1F, 0x1F, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, U"-"},
    {BigDigitPart::BottomBar, "bottom bar", {0x00, 0x00, 0x00, 0x00, 0x00, 0x1F, 0x1F, 0x1F}, 0, U"_"},
    {BigDigitPart::BothBars, "both bars", {0x1F, 0x1F, 0x1F, 0x00, 0x00, 0x1F, 0x1F, 0x1F}, 0, U"="},
    {BigDigitPart::UpperHalf, "upper half", {0x1F, 0x1F, 0x1F, 0x1F, 0x00, 0x00, 0x00, 0x00}, 0, U"-"},
    {BigDigitPart::LowerHalf, "lower half", {0x00, 0x00, 0x00, 0x00, 0x1F, 0x1F, 0x1F, 0x1F}, 0, U"_"},
    {BigDigitPart::LowQuarter, "low quarter", {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F, 0x1F}, 0, U"_"},
    {BigDigitPart::HighQuarter, "high quarter", {0x1F, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, U"-"},
};
// clang-format on

inline const BigDigitPartGlyph* BigDigitPartOf(char32_t c)
{
    if (c < kBigDigitPartCodeFirst || c >= kBigDigitPartCodeFirst + kBigDigitParts)
        return nullptr;
    return &kBigDigitPartGlyphs[c - kBigDigitPartCodeFirst];
}

namespace big_digit_detail {

// Segments: a top, b upper right, c lower right, d bottom, e lower left, f upper left, g middle.
enum Segment : std::uint8_t { a = 1, b = 2, c = 4, d = 8, e = 16, f = 32, g = 64 };

// clang-format off
inline constexpr std::uint8_t kDigitSegments[10] = {
    a | b | c | d | e | f,     // 0
    b | c,                     // 1
    a | b | d | e | g,         // 2
    a | b | c | d | g,         // 3
    b | c | f | g,             // 4
    a | c | d | f | g,         // 5
    a | c | d | e | f | g,     // 6
    a | b | c,                 // 7
    a | b | c | d | e | f | g, // 8
    a | b | c | d | f | g,     // 9
};
// clang-format on

inline constexpr std::uint8_t kMinus = g;

// Cells are code points; a blank is a plain space.
constexpr char32_t kBlank = U' ';

// Two rows: the middle stroke lies along the bottom of the upper row.
inline char32_t TwoRowCell(std::uint8_t s, std::size_t row, std::size_t column)
{
    auto has = [s](std::uint8_t segment) { return (s & segment) != 0; };
    auto bars = [&](bool top, bool bottom) {
        return top && bottom ? CodeOf(BigDigitPart::BothBars)
               : top         ? CodeOf(BigDigitPart::TopBar)
               : bottom      ? CodeOf(BigDigitPart::BottomBar)
                             : kBlank;
    };
    const bool left = column == 0, right = column == 2;
    if (row == 0) {
        if ((left && has(f)) || (right && has(b)))
            return CodeOf(BigDigitPart::Full);
        return bars(has(a), has(g));
    }
    if ((left && has(e)) || (right && has(c)))
        return CodeOf(BigDigitPart::Full);
    return bars(false, has(d));
}

// Four rows: top stroke in row 0, the middle one split over rows 1 and 2, the bottom in row 3.
inline char32_t FourRowCell(std::uint8_t s, std::size_t row, std::size_t column)
{
    auto has = [s](std::uint8_t segment) { return (s & segment) != 0; };
    const bool left = column == 0, right = column == 2;
    const bool upper = row < 2;
    if ((left && has(upper ? f : e)) || (right && has(upper ? b : c)))
        return CodeOf(BigDigitPart::Full);
    switch (row) {
    case 0: return has(a) ? CodeOf(BigDigitPart::UpperHalf) : kBlank;
    case 1: return has(g) ? CodeOf(BigDigitPart::LowQuarter) : kBlank;
    case 2: return has(g) ? CodeOf(BigDigitPart::HighQuarter) : kBlank;
    default: return has(d) ? CodeOf(BigDigitPart::LowerHalf) : kBlank;
    }
}

} // namespace big_digit_detail

inline constexpr std::size_t kBigDigitWidth = 3;

// One character drawn big: `rows` cells of code points, each row `width` wide.
struct BigGlyph {
    std::size_t width = 0;
    std::vector<std::u32string> rows;
};

// The digits' heights.
inline bool IsBigDigitHeight(int rows) { return rows == 2 || rows == 4; }

// How `c` is drawn `height` rows high (2 or 4): '0'-'9' and '-' three cells wide, ':' and '.' and
// ' ' one; none for anything else.
inline std::optional<BigGlyph> BigGlyphOf(char32_t c, int height)
{
    using namespace big_digit_detail;
    if (!IsBigDigitHeight(height))
        return std::nullopt;
    const auto rows = static_cast<std::size_t>(height);
    BigGlyph glyph;
    auto figure = [&](std::uint8_t segments) {
        glyph.width = kBigDigitWidth;
        for (std::size_t row = 0; row < rows; ++row) {
            std::u32string cells;
            for (std::size_t column = 0; column < kBigDigitWidth; ++column)
                cells.push_back(height == 2 ? TwoRowCell(segments, row, column) : FourRowCell(segments, row, column));
            glyph.rows.push_back(std::move(cells));
        }
    };
    auto narrow = [&](auto cellOfRow) {
        glyph.width = 1;
        for (std::size_t row = 0; row < rows; ++row)
            glyph.rows.push_back(std::u32string(1, cellOfRow(row)));
    };
    if (c >= U'0' && c <= U'9')
        figure(kDigitSegments[c - U'0']);
    else if (c == U'-')
        figure(kMinus);
    else if (c == U':')
        // The dots a third and two thirds down: rows 0 and 1 of two, 1 and 2 of four.
        narrow([&](std::size_t row) {
            const bool dotted = height == 2 || row == 1 || row == 2;
            return dotted ? CodeOf(BigDigitPart::Dot) : kBlank;
        });
    else if (c == U'.')
        // The ROM's own full stop on the last row: it sits on the baseline and takes no slot.
        narrow([&](std::size_t row) { return row + 1 == rows ? U'.' : kBlank; });
    else if (c == U' ')
        narrow([](std::size_t) { return kBlank; });
    else
        return std::nullopt;
    return glyph;
}

// A text drawn big: its rows (all as wide), and each drawn character's width and first column.
struct BigText {
    std::vector<std::u32string> rows;
    struct Placed {
        char32_t character;
        std::size_t column;
        std::size_t width;
    };
    std::vector<Placed> placed;
    std::size_t width() const { return rows.empty() ? 0 : rows.front().size(); }
};

// `text` drawn `height` rows high (2 or 4), at most `maxColumns` wide: what follows is left out,
// as are characters that have no big form. Two figures side by side have a blank column between
// them, so their strokes do not run together.
inline BigText DrawBigText(std::u32string_view text, int height, std::size_t maxColumns)
{
    BigText drawn;
    if (!IsBigDigitHeight(height))
        return drawn;
    drawn.rows.assign(static_cast<std::size_t>(height), std::u32string());
    bool lastWasFigure = false;
    for (char32_t c : text) {
        const auto glyph = BigGlyphOf(c, height);
        if (!glyph)
            continue;
        const bool figure = glyph->width == kBigDigitWidth;
        const std::size_t gap = figure && lastWasFigure ? 1 : 0;
        if (drawn.width() + gap + glyph->width > maxColumns)
            break;
        for (std::size_t row = 0; row < drawn.rows.size(); ++row)
            drawn.rows[row].append(gap, U' ').append(glyph->rows[row]);
        drawn.placed.push_back({c, drawn.width() - glyph->width, glyph->width});
        lastWasFigure = figure;
    }
    return drawn;
}

} // namespace pixtera::lcd
