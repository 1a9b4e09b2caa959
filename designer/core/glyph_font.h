#pragma once
// The preview's character set: 8 rows of 6 dots per glyph, bits 0x20 (left) to 0x01 (right).
// Codes 1 to 8 are the bar and level cells (bottom k rows lit, 8 a full block), 0x20 to 0x7F the
// printable characters; every other code is blank.

#include <array>
#include <cstdint>

namespace pixtera::designer {

using Glyph = std::array<std::uint8_t, 8>;

// The glyph a display code shows.
const Glyph& GlyphOf(unsigned char code);

} // namespace pixtera::designer
