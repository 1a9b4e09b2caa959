// SPDX-License-Identifier: MIT
#pragma once
// Clients' texts are kept as UTF-8 and drawn as code points, one a cell: widths and scrolling
// count code points, never bytes.

#include <string>
#include <string_view>

namespace pixtera::lcdproc {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point at `at` (< utf8.size()), which moves past it; a byte that is not part of
// well-formed UTF-8 is U+FFFD.
char32_t NextCodePoint(std::string_view utf8, std::size_t& at);
// The code points of `utf8`; each byte that is not part of well-formed UTF-8 is U+FFFD.
std::u32string CodePoints(std::string_view utf8);
// The same into `out`, whose storage is kept.
void AssignCodePoints(std::u32string& out, std::string_view utf8);

// How many cells `utf8` takes.
std::size_t CellCount(std::string_view utf8);
// Its first `cells` code points.
std::string_view FirstCells(std::string_view utf8, std::size_t cells);

// Code points as UTF-16, those beyond the first plane as surrogate pairs.
std::u16string Utf16Of(std::u32string_view codePoints);

} // namespace pixtera::lcdproc
