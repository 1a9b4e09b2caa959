// SPDX-License-Identifier: MIT
#pragma once
// A design file read the way a person would want it checked: everything the reader passes over
// or cannot use, each with its line.

#include <string>
#include <string_view>
#include <vector>

namespace pixtera {

struct DesignFinding {
    int line = 0;
    std::string message;
};

// Unknown elements and attributes (with the name the format uses when one is close), values that
// are not numbers or not among the format's words, and items that lie entirely outside a display
// of `columns` x `rows`. A file that is not well-formed XML gives one finding.
std::vector<DesignFinding> CheckDesign(std::string_view xml, int columns, int rows);

} // namespace pixtera
