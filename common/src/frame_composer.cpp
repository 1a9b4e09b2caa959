// SPDX-License-Identifier: MIT
#include <pixtera/frame_composer.h>

#include <pixtera/big_number_field.h>

#include <pixtera/item_value.h>
#include <pixtera/platform/tick_count.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace pixtera {
namespace {

// The character of field cell `i` (0 <= i < width) for static text, by alignment.
// Codes below 32 address the module's user characters (and mirror them from 8), which belong to
// the design's bars: a tab or line break in a value must not show as a bar segment.
char32_t Cell(char32_t c) { return c < 0x20 ? U' ' : c; }

char32_t StaticCell(LONG alignment, std::u32string_view text, std::size_t width, std::size_t i)
{
    const std::size_t length = text.size();
    if (length < width) {
        std::size_t at = 0;
        switch (alignment) {
        case kAlignLeft: at = 0; break;
        case kAlignRight: at = width - length; break;
        case kAlignCenter: at = width / 2 - length / 2; break;
        default: return ' ';
        }
        return i >= at && i - at < length ? text[i - at] : ' ';
    }
    switch (alignment) {
    case kAlignLeft: return text[i];
    case kAlignRight: return text[length - width + i];
    case kAlignCenter: return text[length / 2 - width / 2 + i];
    default: return ' ';
    }
}

// The offset of the text repeated end to end, from the time since the scroll start.
std::size_t ScrollOffset(const DisplayItem& item, std::size_t length, DWORD now)
{
    const auto delay = static_cast<DWORD>(item.scrollDelay);
    if (delay == 0)
        return 0;
    const DWORD elapsed = now - item.scrollStart;
    const std::size_t step = (elapsed / delay) % length;
    return item.mode == kModeRightToLeft ? step : (length - step) % length;
}

// The C library's reading of a number: leading blanks, then as much as reads as one; else 0.
double LeadingNumber(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0.0;
}

// How many cells of a field of `width` the bar fills; may raise an automatic maximum.
std::size_t BarCells(DisplayItem& item, std::string_view text, std::size_t width)
{
    const double value = LeadingNumber(text);
    constexpr LONG kLargest = std::numeric_limits<LONG>::max();
    if (item.automaticMaximum && value > item.barMaximum)
        item.barMaximum = value >= kLargest ? kLargest : static_cast<LONG>(std::trunc(value));
    const double cells = static_cast<double>(width) * value / item.barMaximum;
    if (!(cells >= 1.0)) // also false for NaN
        return 0;
    return cells >= static_cast<double>(width) ? width : static_cast<std::size_t>(cells);
}

void DrawLines(const DisplayItem& item, std::u32string_view text, VirtualDisplay& target)
{
    LONG row = 0;
    LONG column = 0;
    for (char32_t c : text) {
        if (c == '\n') {
            column = 0;
            ++row;
            continue;
        }
        if (column < item.width && row < item.height) {
            const char32_t cell = Cell(c);
            target.WriteCells(item.column + column, item.row + row, std::u32string_view(&cell, 1));
        }
        ++column;
    }
}

bool Scrolls(const DisplayItem& item)
{
    return (item.mode == kModeLeftToRight || item.mode == kModeRightToLeft) && item.height == 1 && item.width > 0 &&
           item.scrollDelay != 0;
}

// The time of the item's next one-cell step after `now`, at most half the tick range ahead.
DWORD NextScrollStep(const DisplayItem& item, DWORD now)
{
    constexpr DWORD kFurthest = 0x7FFFFFFEu;
    const auto delay = static_cast<DWORD>(item.scrollDelay);
    const DWORD elapsed = now - item.scrollStart;
    return now + std::min(delay - elapsed % delay, kFurthest);
}

} // namespace

FrameOutlook LookAhead(const Design& design, ValueSource& values, DWORD now)
{
    FrameOutlook outlook;
    for (const DisplayItem& item : design.items) {
        if (item.deleted)
            continue;
        if (Scrolls(item)) {
            const DWORD step = NextScrollStep(item, now);
            if (!outlook.nextScrollStep || TickIsBefore(step, *outlook.nextScrollStep))
                outlook.nextScrollStep = step;
        }
        if (item.source == kSourceStaticText)
            continue;
        if (values.HowValueChanges(item.name) == ValueSource::Changes::AnyTime)
            outlook.readsChangingValues = true;
        else
            outlook.readsStoredValues = true;
    }
    return outlook;
}

std::u32string ComposeCells(DisplayItem& item, std::u32string_view text, DWORD now, std::size_t first,
                            std::size_t count)
{
    const auto width = static_cast<std::size_t>(std::max<LONG>(item.width, 0));
    first = std::min(first, width);
    count = std::min(count, width - first);
    std::u32string window(count, U' ');
    if (text.empty() || width == 0)
        return window; // an off-display bar still runs, for its automatic maximum
    switch (item.mode) {
    case kModeStatic:
        for (std::size_t i = 0; i < count; ++i)
            window[i] = Cell(StaticCell(item.alignment, text, width, first + i));
        break;
    case kModeLeftToRight:
    case kModeRightToLeft: {
        const std::size_t offset = ScrollOffset(item, text.size(), now);
        for (std::size_t i = 0; i < count; ++i)
            window[i] = Cell(text[(offset + first + i) % text.size()]);
        break;
    }
    case kModeHorizontalBar: {
        const std::size_t filled = BarCells(item, Utf8OfCells(text), width);
        for (std::size_t i = 0; i < count && first + i < filled; ++i)
            window[i] = static_cast<char32_t>(kBarCharacter);
        break;
    }
    default: break;
    }
    return window;
}

std::string ComposeFieldWindow(DisplayItem& item, std::string_view text, DWORD now, std::size_t first,
                               std::size_t count)
{
    return Utf8OfCells(ComposeCells(item, CellsOfUtf8(text), now, first, count));
}

std::string ComposeField(DisplayItem& item, std::string_view text, DWORD now)
{
    return ComposeFieldWindow(item, text, now, 0, static_cast<std::size_t>(std::max<LONG>(item.width, 0)));
}

void DrawItemText(DisplayItem& item, const std::optional<std::string>& text, DWORD now, VirtualDisplay& target)
{
    if (!text)
        return;
    const std::u32string cells = CellsOfUtf8(*text);
    if (item.height != 1 && item.mode != kModeBigNumber) {
        DrawLines(item, cells, target);
        return;
    }
    // Only the cells that can be on the display are composed: a field may be far wider.
    const long long left = std::max<long long>(0, -static_cast<long long>(item.column));
    const long long right = static_cast<long long>(target.columns()) - item.column;
    if (right <= left && item.mode != kModeHorizontalBar)
        return;
    const auto first = static_cast<std::size_t>(left);
    const auto count = static_cast<std::size_t>(std::max<long long>(0, right - left));
    if (item.mode == kModeBigNumber) {
        const auto rows = BigNumberWindow(item, cells, first, count);
        for (std::size_t r = 0; r < rows.size(); ++r)
            target.WriteCells(item.column + static_cast<LONG>(first), item.row + static_cast<LONG>(r), rows[r]);
        return;
    }
    target.WriteCells(item.column + static_cast<LONG>(first), item.row, ComposeCells(item, cells, now, first, count));
}

void DrawItem(DisplayItem& item, ValueSource& values, DWORD now, VirtualDisplay& target)
{
    DrawItemText(item, ItemText(item, values), now, target);
}

void RenderFrame(Design& design, ValueSource& values, DWORD now, VirtualDisplay& target)
{
    target.Clear();
    for (DisplayItem& item : design.items)
        if (!item.deleted) // marked in the designer until the design is saved
            DrawItem(item, values, now, target);
}

} // namespace pixtera
