// SPDX-License-Identifier: MIT
#pragma once
// A client's command line split into arguments as LCDd splits it: blanks separate, "..." and
// {...} quote, a backslash takes the next character as it is (\n, \r and \t their controls).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::lcdproc {

// LCDd keeps this many arguments of a line; later ones are dropped.
inline constexpr std::size_t kMaxArguments = 40;

// The arguments; nothing when a quote is left open.
std::optional<std::vector<std::string>> SplitArguments(std::string_view line);

// The same as views of `storage`, which holds the line unquoted and unescaped until the next
// call (a client sends thousands of lines a second; none of them should cost an allocation).
// False when a quote is left open.
bool SplitArguments(std::string_view line, std::string& storage, std::vector<std::string_view>& arguments);

} // namespace pixtera::lcdproc
