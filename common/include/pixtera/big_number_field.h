// SPDX-License-Identifier: MIT
#pragma once
// What a big-number item shows: its text's digits drawn two or four rows high from the drawn
// part glyphs (pixtera/sdk/big_digits.h), aligned in the item's box. An item too low for its
// digits shows them two rows high, and one row high shows the text as it is.

#include <pixtera/display_item.h>

#include <string>
#include <string_view>
#include <vector>

namespace pixtera {

// Only the first this many characters of a value are drawn big: no display is wider.
inline constexpr std::size_t kMaxBigNumberCharacters = 64;

// Columns [first, first + count) of the item's rows that the digits take (as many as the digits
// are high, at most the item's height), as code points: part glyphs U+F040 on, and plain spaces.
// Characters without a big form (letters, units) are left out.
std::vector<std::u32string> BigNumberWindow(const DisplayItem& item, std::u32string_view text, std::size_t first,
                                            std::size_t count);

// The whole field: every column of the item.
std::vector<std::u32string> BigNumberCells(const DisplayItem& item, std::u32string_view text);

} // namespace pixtera
