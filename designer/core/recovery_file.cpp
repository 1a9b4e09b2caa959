// SPDX-License-Identifier: MIT
#include "recovery_file.h"

#include <pixtera/platform/paths.h>

#include <fstream>
#include <sstream>

namespace pixtera::designer {
namespace {

std::filesystem::path OriginFile() { return RecoveryFile().string() + ".origin"; }

} // namespace

std::filesystem::path RecoveryFile() { return XdgStateHome() / "pixtera" / "recovery.pxd"; }

bool KeepForRecovery(const Design& design, const std::filesystem::path& origin)
{
    std::error_code ec;
    const auto directory = RecoveryFile().parent_path();
    std::filesystem::create_directories(directory, ec);
    // A design is the user's own business.
    std::filesystem::permissions(directory, std::filesystem::perms::owner_all, ec);
    if (!SaveDesign(design, RecoveryFile()))
        return false;
    std::ofstream(OriginFile(), std::ios::trunc) << origin.string();
    return true;
}

std::optional<RecoveredDesign> FindRecovery()
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(RecoveryFile(), ec))
        return std::nullopt;
    RecoveredDesign found{RecoveryFile(), {}};
    std::ifstream origin(OriginFile());
    std::stringstream text;
    text << origin.rdbuf();
    found.origin = text.str();
    return found;
}

void DiscardRecovery()
{
    std::error_code ec;
    std::filesystem::remove(RecoveryFile(), ec);
    std::filesystem::remove(OriginFile(), ec);
}

} // namespace pixtera::designer
