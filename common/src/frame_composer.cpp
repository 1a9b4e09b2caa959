#include <pixtera/frame_composer.h>

#include <pixtera/item_value.h>

#include <algorithm>
#include <charconv>
#include <limits>
#include <cmath>

namespace pixtera {
namespace {

void AlignStatic(LONG alignment, std::string_view text, std::string& field)
{
    const std::size_t width = field.size();
    const std::size_t length = text.size();
    if (length < width) {
        std::size_t at = 0;
        switch (alignment) {
        case kAlignLeft:
            at = 0;
            break;
        case kAlignRight:
            at = width - length;
            break;
        case kAlignCenter:
            at = width / 2 - length / 2;
            break;
        default:
            return;
        }
        field.replace(at, length, text);
        return;
    }
    switch (alignment) {
    case kAlignLeft:
        field.assign(text.substr(0, width));
        break;
    case kAlignRight:
        field.assign(text.substr(length - width));
        break;
    case kAlignCenter:
        field.assign(text.substr(length / 2 - width / 2, width));
        break;
    default:
        break;
    }
}

// The text repeated end to end, starting at the offset the time since the scroll start gives.
void Scroll(const DisplayItem& item, std::string_view text, DWORD now, std::string& field)
{
    const std::size_t length = text.size();
    const auto delay = static_cast<DWORD>(item.scrollDelay);
    std::size_t offset = 0;
    if (delay != 0) {
        const DWORD elapsed = now - item.scrollStart;
        const std::size_t step = (elapsed / delay) % length;
        offset = item.mode == kModeRightToLeft ? step : (length - step) % length;
    }
    for (std::size_t i = 0; i < field.size(); ++i)
        field[i] = text[(offset + i) % length];
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

void DrawBar(DisplayItem& item, std::string_view text, std::string& field)
{
    const double value = LeadingNumber(text);
    constexpr LONG kLargest = std::numeric_limits<LONG>::max();
    if (item.automaticMaximum && value > item.barMaximum)
        item.barMaximum = value >= kLargest ? kLargest : static_cast<LONG>(std::trunc(value));
    const double cells = static_cast<double>(field.size()) * value / item.barMaximum;
    if (!(cells >= 1.0)) // also false for NaN
        return;
    const std::size_t filled = cells >= static_cast<double>(field.size()) ? field.size()
                                                                           : static_cast<std::size_t>(cells);
    std::fill_n(field.begin(), filled, kBarCharacter);
}

void DrawLines(const DisplayItem& item, std::string_view text, VirtualDisplay& target)
{
    LONG row = 0;
    LONG column = 0;
    for (char c : text) {
        if (c == '\n') {
            column = 0;
            ++row;
            continue;
        }
        if (column < item.width && row < item.height)
            target.WriteAnsi(item.column + column, item.row + row, std::string_view(&c, 1));
        ++column;
    }
}

} // namespace

std::string ComposeField(DisplayItem& item, std::string_view text, DWORD now)
{
    std::string field(static_cast<std::size_t>(std::max<LONG>(item.width, 0)), ' ');
    if (text.empty() || field.empty())
        return field;
    switch (item.mode) {
    case kModeStatic:
        AlignStatic(item.alignment, text, field);
        break;
    case kModeLeftToRight:
    case kModeRightToLeft:
        Scroll(item, text, now, field);
        break;
    case kModeHorizontalBar:
        DrawBar(item, text, field);
        break;
    default:
        break;
    }
    return field;
}

void DrawItemText(DisplayItem& item, const std::optional<std::string>& text, DWORD now, VirtualDisplay& target)
{
    if (!text)
        return;
    if (item.height != 1) {
        DrawLines(item, *text, target);
        return;
    }
    target.WriteAnsi(item.column, item.row, ComposeField(item, *text, now));
}

void DrawItem(DisplayItem& item, ValueSource& values, DWORD now, VirtualDisplay& target)
{
    DrawItemText(item, ItemText(item, values), now, target);
}

void RenderFrame(Design& design, ValueSource& values, DWORD now, VirtualDisplay& target)
{
    target.Clear();
    for (DisplayItem& item : design.items)
        DrawItem(item, values, now, target);
}

} // namespace pixtera
