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
#include <vector>

namespace pixtera {

inline constexpr char kMenuCursorMark = '>';
inline constexpr char kMenuAnswers[] = "Enter=yes Esc=no";
inline constexpr char kMenuEmptyLevel[] = "(empty)";

// `rows` texts of exactly `columns` characters each, in the display's code page (Windows-1252);
// texts cut to the width, codes below 32 (the module's own characters) shown as blanks.
std::vector<std::string> RenderMenu(const Menu& menu, const MenuState& state, std::size_t columns, std::size_t rows);

// The question asked before the entry's action: "Run Uptime?" for a command, "Reboot?" else.
std::string MenuQuestion(const MenuEntry& entry);

} // namespace pixtera
