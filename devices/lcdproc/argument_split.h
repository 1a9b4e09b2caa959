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

// The same into `arguments`, whose strings are reused (a client sends thousands of lines a
// second; none of them should cost an allocation): the first `count` are the line's, those
// after them are spare. False when a quote is left open.
bool SplitArguments(std::string_view line, std::vector<std::string>& arguments, std::size_t& count);

} // namespace pixtera::lcdproc
