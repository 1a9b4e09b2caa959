// SPDX-License-Identifier: MIT
#pragma once
// A client screen as cells of the display, drawn as LCDd draws it: titles with their bar, bars
// and big digits from user characters, scrollers and frames moving with the timer (eighths of a
// second), the heartbeat in the top right corner. Pure: the same screen and timer, the same cells.

#include "client_screen.h"
#include "lcd_commands.h"

#include <array>
#include <string>

namespace pixtera::lcdproc {

inline constexpr int kUserGlyphs = 8;
// User character k is written as code 8 + k (an HD44780 shows codes 8-15 as 0-7).
inline constexpr char32_t kFirstUserCode = 8;

using GlyphRows = std::array<unsigned char, 8>;

struct RenderedScreen {
    std::u32string cells; // columns x rows code points, rows after one another; 8-15 user characters
    std::array<GlyphRows, kUserGlyphs> glyphs{}; // the user characters the cells use, top row first
    int glyphsUsed = 0;
};

RenderedScreen RenderScreen(const Screen& screen, const Geometry& geometry, long timer);

} // namespace pixtera::lcdproc
