// SPDX-License-Identifier: MIT
#pragma once
// Numbers as text in the user's locale, the way the Windows variant conversions write and read
// them.

#include <pixtera/platform/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace pixtera {

// The decimal separator of LC_ALL / LC_NUMERIC / LANG, as the environment says now.
char16_t UserDecimalSeparator();

// Shortest text with at most `significantDigits` digits ("60", "3.14159", "1E+20").
std::u16string FormatReal(double value, int significantDigits, char16_t separator);
std::u16string FormatInteger(LONGLONG value);

// Reads the whole text as a number (surrounding blanks allowed); nothing else in it.
enum class ParseStatus { Ok, NotANumber, Overflow };
struct ParsedNumber {
    ParseStatus status = ParseStatus::NotANumber;
    bool integral = false;
    LONGLONG integer = 0;
    double real = 0;
};
ParsedNumber ParseNumber(std::u16string_view text, char16_t separator);

} // namespace pixtera
