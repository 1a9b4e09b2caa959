// SPDX-License-Identifier: MIT
#include "user_guide.h"

namespace pixtera::designer {

std::filesystem::path UserGuide(const std::filesystem::path& programDirectory)
{
    std::error_code ec;
    const auto installed = programDirectory.parent_path() / "share" / "doc" / "pixtera" / "designer.md";
    if (std::filesystem::is_regular_file(installed, ec))
        return installed;
    // A build tree keeps a note of its sources; an installed program without its docs has none.
    if (std::filesystem::exists(programDirectory.parent_path() / "CMakeCache.txt", ec))
        return std::filesystem::path(PIXTERA_DOCS_DIR) / "designer.md";
    return installed;
}

} // namespace pixtera::designer
