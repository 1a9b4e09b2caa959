// SPDX-License-Identifier: MIT
#pragma once
// One UTF-8 decoder for everything that reads text a code point at a time.

#include <pixtera/platform/export.h>

#include <cstddef>
#include <string_view>

namespace pixtera {

// The code point at `pos` of `utf8`, `pos` moved past it. A malformed or overlong sequence, a
// surrogate or a value past U+10FFFF is U+FFFD for its first byte alone, so decoding always moves
// on and never skips a good character behind a bad one.
PX_API char32_t DecodeUtf8(std::string_view utf8, std::size_t& pos);

} // namespace pixtera
