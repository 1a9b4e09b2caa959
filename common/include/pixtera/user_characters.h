// SPDX-License-Identifier: MIT
#pragma once
// The eight user-defined characters every display gets. Character 0 is a full cell: bars are
// drawn with code 8, which an HD44780 shows as user character 0. Characters 1 to 7 light their
// bottom 1 to 7 rows. So the module shows codes 1 to 8 as the designer's preview draws them.

#include <pixtera/platform/types.h>

#include <array>

namespace pixtera {

inline constexpr LONG kUserCharacters = 8;
inline constexpr LONG kUserCharacterRows = 8;

// Lit pixels of a full character row: the low `cellWidth` bits, kept to 8 bits.
constexpr BYTE FullCharacterRow(LONG cellWidth)
{
    if (cellWidth <= 0)
        return 0;
    return cellWidth >= 8 ? BYTE{0xFF} : static_cast<BYTE>((1u << cellWidth) - 1u);
}

// The rows, top first, of user character `code` (0 to 7) on cells `cellWidth` pixels wide.
constexpr std::array<BYTE, kUserCharacterRows> UserCharacterRows(LONG code, LONG cellWidth)
{
    const LONG litRows = code == 0 ? kUserCharacterRows : code;
    std::array<BYTE, kUserCharacterRows> rows{};
    for (LONG row = kUserCharacterRows - litRows; row < kUserCharacterRows; ++row)
        rows[static_cast<std::size_t>(row)] = FullCharacterRow(cellWidth);
    return rows;
}

} // namespace pixtera
