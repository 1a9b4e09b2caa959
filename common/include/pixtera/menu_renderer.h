// SPDX-License-Identifier: MIT
#pragma once
// A menu as a display shows it, from where the user is in it and the display's size alone:
//
//   System       2/3      the level's title; where the cursor is when not all entries fit
//    Uptime
//   >Lock                 the cursor's mark before the chosen entry
//    Empty
//
// and an action's question in place of the list ("Run Uptime?" over "Enter=yes Esc=no"). On a
// display of one row the title gives way to the chosen entry.

#include <pixtera/menu_navigator.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera {

inline constexpr char32_t kMenuCursorMark = U'>';
inline constexpr char kMenuAnswers[] = "Enter=yes Esc=no";
inline constexpr char kMenuEmptyLevel[] = "(empty)";

// `rows` rows of exactly `columns` cells each, a code point a cell, for any language the display
// can show; texts cut to the width.
std::vector<std::u32string> RenderMenu(const Menu& menu, const MenuState& state, std::size_t columns, std::size_t rows);

// A text of the menu as its cells: control codes (below 32 the module's own characters), DEL and
// C1 blank; malformed UTF-8 a U+FFFD a byte.
std::u32string MenuText(std::string_view utf8);

// The question asked before the entry's action: "Run Uptime?" for a command, "Reboot?" else.
std::string MenuQuestion(const MenuEntry& entry);

} // namespace pixtera
