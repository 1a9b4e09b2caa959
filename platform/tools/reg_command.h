// SPDX-License-Identifier: MIT
#pragma once
// The commands of pixtera-reg, apart from main() so that tests and fuzzers can drive them.

#include <iosfwd>
#include <span>
#include <string>

namespace pixtera {

// Exit codes: 0 success, 1 the operation failed, 2 the command line is wrong.
int RunRegCommand(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

} // namespace pixtera
