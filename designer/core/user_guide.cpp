// SPDX-License-Identifier: MIT
#include "user_guide.h"

namespace pixtera::designer {

std::filesystem::path UserGuide(const std::filesystem::path& programDirectory)
{
    // A build tree links share/doc/pixtera to its sources, so the path is the same there.
    return programDirectory.parent_path() / "share" / "doc" / "pixtera" / "designer.md";
}

} // namespace pixtera::designer
