// SPDX-License-Identifier: MIT
#pragma once
// The num widget's big digits: 3 cells wide (the colon 1), 4 rows tall on displays of four rows
// or more and 2 rows on smaller ones, drawn with four shapes of user characters.

#include <array>
#include <string_view>

namespace pixtera::lcdproc {

// The shapes a big digit is made of.
enum class DigitPart : char { Blank = ' ', Full = '#', Top = '^', Bottom = '_', Both = '=' };

// The rows of digit `digit` (0-9, 10 the colon), each a string of DigitPart characters; `rows`
// 4 or 2. Empty for other digits.
std::array<std::string_view, 4> BigDigit(int digit, int rows);

} // namespace pixtera::lcdproc
