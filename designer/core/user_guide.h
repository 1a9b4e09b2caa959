// SPDX-License-Identifier: MIT
#pragma once
// The user guide that Help > Quick start guide opens: the installed copy
// (<datadir>/doc/pixtera/designer.md beside the program's prefix), or the source tree's when the
// designer runs from its build tree.

#include <filesystem>

namespace pixtera::designer {

// `programDirectory`: where pixtera-designer lies.
std::filesystem::path UserGuide(const std::filesystem::path& programDirectory);

} // namespace pixtera::designer
