// SPDX-License-Identifier: MIT
#include <pixtera/big_number_field.h>

#include <pixtera/sdk/big_digits.h>

#include <algorithm>

namespace pixtera {
namespace {

// Where a run of `length` cells starts in a field of `width`, by alignment (negative: cut on the
// left).
long long AlignedStart(LONG alignment, std::size_t length, std::size_t width)
{
    const auto w = static_cast<long long>(width), n = static_cast<long long>(length);
    switch (alignment) {
    case kAlignRight: return w - n;
    case kAlignCenter: return w / 2 - n / 2;
    default: return 0;
    }
}

int DigitHeight(const DisplayItem& item)
{
    if (item.height >= 4 && item.digitRows == 4)
        return 4;
    return item.height >= 2 ? 2 : 1;
}

} // namespace

std::vector<std::u32string> BigNumberWindow(const DisplayItem& item, std::u32string_view text, std::size_t first,
                                            std::size_t count)
{
    const auto width = static_cast<std::size_t>(std::max<LONG>(item.width, 0));
    first = std::min(first, width);
    count = std::min(count, width - first);
    text = text.substr(0, kMaxBigNumberCharacters);
    const int height = DigitHeight(item);
    std::vector<std::u32string> drawn;
    if (height == 1)
        drawn.emplace_back(text.substr(0, width));
    else
        drawn = lcd::DrawBigText(text, height, width).rows;
    std::vector<std::u32string> window;
    for (const std::u32string& row : drawn) {
        const long long start = AlignedStart(item.alignment, row.size(), width);
        std::u32string cells(count, U' ');
        for (std::size_t i = 0; i < count; ++i) {
            const long long at = static_cast<long long>(first + i) - start;
            if (at >= 0 && at < static_cast<long long>(row.size()))
                cells[i] = row[static_cast<std::size_t>(at)];
        }
        window.push_back(std::move(cells));
    }
    return window;
}

std::vector<std::u32string> BigNumberCells(const DisplayItem& item, std::u32string_view text)
{
    return BigNumberWindow(item, text, 0, static_cast<std::size_t>(std::max<LONG>(item.width, 0)));
}

} // namespace pixtera
