// SPDX-License-Identifier: MIT
#include "recovery_file.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/paths.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/xml_file.h>

namespace pixtera::designer {
namespace {

// The origin holds a path; a longer file is none the designer wrote.
constexpr std::size_t kMaxOriginBytes = 4096;

// Without following a link or opening anything, so that nothing there can make the start wait.
bool Exists(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

} // namespace

std::filesystem::path RecoveryFile() { return XdgStateHome() / "pixtera" / "recovery.pxd"; }

std::filesystem::path RecoveryOriginFile() { return RecoveryFile().string() + ".origin"; }

bool KeepForRecovery(const Design& design, const std::filesystem::path& origin)
{
    std::error_code ec;
    const auto directory = RecoveryFile().parent_path();
    std::filesystem::create_directories(directory, ec);
    // A design is the user's own business.
    std::filesystem::permissions(directory, std::filesystem::perms::owner_all, ec);
    if (!SaveDesign(design, RecoveryFile()))
        return false;
    std::string error;
    if (!WriteFileAtomically(RecoveryOriginFile(), origin.string(), &error))
        LogWarning("The name of the unsaved design's file was not kept: " + error);
    return true;
}

std::optional<RecoveredDesign> FindRecovery()
{
    if (!Exists(RecoveryFile()))
        return std::nullopt;
    // Only a design of this user's, of a size a design can have, is offered.
    const CheckedFile kept =
        OpenCheckedFile(RecoveryFile().string(), kMaxDesignFileBytes, false, FileOwner::ThisUserOrRoot);
    if (!kept) {
        LogWarning("The unsaved design " + RecoveryFile().string() + " is not offered: it " + kept.problem);
        return std::nullopt;
    }
    RecoveredDesign found{RecoveryFile(), {}};
    if (!Exists(RecoveryOriginFile()))
        return found;
    const BoundedFile origin =
        ReadBoundedFile(RecoveryOriginFile().string(), kMaxOriginBytes, false, FileOwner::ThisUserOrRoot);
    if (origin)
        found.origin = origin.text;
    else
        LogWarning("The unsaved design is offered as untitled: " + RecoveryOriginFile().string() + " " +
                   origin.problem);
    return found;
}

void DiscardRecovery()
{
    std::error_code ec;
    std::filesystem::remove(RecoveryFile(), ec);
    std::filesystem::remove(RecoveryOriginFile(), ec);
}

} // namespace pixtera::designer
