// SPDX-License-Identifier: MIT
#include "big_digits.h"

namespace pixtera::lcdproc {
namespace {

// '#' full, '^' a bar at the top of the cell, '_' one at its bottom, '=' both.
constexpr std::array<std::string_view, 4> kTall[11] = {
    {"#^#", "# #", "# #", "#_#"}, {"^# ", " # ", " # ", "_#_"}, {"^^#", "__#", "#  ", "#__"},
    {"^^#", "__#", "  #", "__#"}, {"# #", "#_#", "  #", "  #"}, {"#^^", "#__", "  #", "__#"},
    {"#^^", "#__", "# #", "#_#"}, {"^^#", "  #", "  #", "  #"}, {"#^#", "#_#", "# #", "#_#"},
    {"#^#", "#_#", "  #", "__#"}, {" ", "_", "^", " "},
};

constexpr std::array<std::string_view, 4> kShort[11] = {
    {"#^#", "#_#"}, {"^# ", "_#_"}, {"^=#", "#__"}, {"^=#", "__#"}, {"#_#", "  #"}, {"#=^", "__#"},
    {"#=^", "#_#"}, {"^^#", "  #"}, {"#=#", "#_#"}, {"#=#", "__#"}, {"_", "^"},
};

} // namespace

std::array<std::string_view, 4> BigDigit(int digit, int rows)
{
    if (digit < 0 || digit > 10)
        return {};
    return rows >= 4 ? kTall[digit] : kShort[digit];
}

} // namespace pixtera::lcdproc
