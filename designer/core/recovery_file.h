// SPDX-License-Identifier: MIT
#pragma once
// Where an unsaved design goes when the designer is told to end (SIGTERM, SIGHUP) and where the
// next start finds it: $XDG_STATE_HOME/pixtera/recovery.pxd, with the design's own file name, if
// it had one, in recovery.pxd.origin.

#include <pixtera/design_file.h>

#include <filesystem>
#include <optional>

namespace pixtera::designer {

struct RecoveredDesign {
    std::filesystem::path file; // the kept design
    std::filesystem::path origin; // the file it was edited from; empty for an untitled design
};

std::filesystem::path RecoveryFile();
// Beside it: the name of the file the design was edited from.
std::filesystem::path RecoveryOriginFile();

// Writes the design and its origin; false when it could not be written.
bool KeepForRecovery(const Design& design, const std::filesystem::path& origin);
// What an earlier run kept, if anything.
std::optional<RecoveredDesign> FindRecovery();
// Removes what was kept (restored or declined).
void DiscardRecovery();

} // namespace pixtera::designer
