// SPDX-License-Identifier: MIT
#pragma once
// Composing a design into a frame: each item's text placed in its box, aligned, scrolled or drawn
// as a bar, later items over earlier ones.

#include <pixtera/display_item.h>
#include <pixtera/value_source.h>
#include <pixtera/virtual_display.h>

#include <string>
#include <string_view>

namespace pixtera {

// The character that draws a bar cell: user character 0 on HD44780 displays.
inline constexpr char kBarCharacter = 8;

// Draws one item whose text (UTF-8) has been worked out (none: nothing is drawn). `now` is the tick
// count, for scrolling; a bar with an automatic maximum may raise the item's maximum.
void DrawItemText(DisplayItem& item, const std::optional<std::string>& text, DWORD now, VirtualDisplay& target);

// Works out the item's text, then draws it.
void DrawItem(DisplayItem& item, ValueSource& values, DWORD now, VirtualDisplay& target);

// Clears the canvas and draws every item of the design in order.
void RenderFrame(Design& design, ValueSource& values, DWORD now, VirtualDisplay& target);

// When a design's frame can next differ from the one rendered at `now`.
struct FrameOutlook {
    std::optional<DWORD> nextScrollStep; // the earliest step of a scrolling item
    bool readsChangingValues = false; // a value that may differ at any reading
    bool readsStoredValues = false; // a value that changes only when stored
};
FrameOutlook LookAhead(const Design& design, ValueSource& values, DWORD now);

// The text of a single-line item's field of `width` cells, one code point a cell (exposed for tests
// and the preview); text in and out in UTF-8.
std::string ComposeField(DisplayItem& item, std::string_view text, DWORD now);
// Cells [first, first + count) of that field: what a display shows of a field wider than itself.
std::string ComposeFieldWindow(DisplayItem& item, std::string_view text, DWORD now, std::size_t first,
                               std::size_t count);
// The same window as cells.
std::u32string ComposeCells(DisplayItem& item, std::u32string_view text, DWORD now, std::size_t first,
                            std::size_t count);

} // namespace pixtera
