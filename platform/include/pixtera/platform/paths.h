// SPDX-License-Identifier: MIT
#pragma once
// The XDG directories, with their defaults, and where the programs find their plug-ins.

#include <pixtera/platform/export.h>

#include <filesystem>

namespace pixtera {

PX_API std::filesystem::path HomeDirectory();
PX_API std::filesystem::path XdgConfigHome();
PX_API std::filesystem::path XdgDataHome();
PX_API std::filesystem::path XdgStateHome();

// The plug-in modules and catalogs of the programs in `programDirectory`: its "plugins" folder in
// a build tree, else the installed prefix's lib/<multiarch>/pixtera/plugins.
PX_API std::filesystem::path PluginDirectory(const std::filesystem::path& programDirectory);

} // namespace pixtera
