// SPDX-License-Identifier: MIT
#pragma once
// pixtera-render: composes a design into a frame without a service.

#include <iosfwd>
#include <span>
#include <string>

namespace pixtera {

// Exit codes: 0 rendered, 1 the design could not be read (what was read is still rendered),
// 2 the command line is wrong.
int RunRenderCommand(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

} // namespace pixtera
