// SPDX-License-Identifier: MIT
#pragma once
// The user guide that Help > Quick start guide opens: the installed copy
// (<datadir>/doc/pixtera/designer.md beside the program's prefix; in a build tree a link to the
// sources' docs stands there). The program carries no path of the tree it was built in.

#include <filesystem>

namespace pixtera::designer {

// `programDirectory`: where pixtera-designer lies.
std::filesystem::path UserGuide(const std::filesystem::path& programDirectory);

} // namespace pixtera::designer
