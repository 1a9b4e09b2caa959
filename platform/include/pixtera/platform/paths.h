#pragma once
// The XDG directories, with their defaults.

#include <pixtera/platform/export.h>

#include <filesystem>

namespace pixtera {

PX_API std::filesystem::path HomeDirectory();
PX_API std::filesystem::path XdgConfigHome();
PX_API std::filesystem::path XdgDataHome();

} // namespace pixtera
