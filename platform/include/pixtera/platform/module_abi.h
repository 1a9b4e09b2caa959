// SPDX-License-Identifier: MIT
#pragma once
// The binary interface between the platform and the modules it loads: the layout of IUnknown,
// BSTR, VARIANT and the SDK's interfaces. A module built against another version would be
// called into with the wrong layout, so the loader refuses it, naming both versions.

#include <pixtera/platform/export.h>

namespace pixtera {

// Moves on with every change that breaks modules built before it (the SDK's major version).
inline constexpr int kModuleAbiVersion = 2;

} // namespace pixtera

// The exported version every module defines once (PIXTERA_SINGLE_CLASS_MODULE does it); modules
// without it are loaded unchecked, as before the check.
#define PIXTERA_MODULE_ABI_EXPORT                                                                                      \
    PX_MODULE_EXPORT int PixteraModuleAbi() { return ::pixtera::kModuleAbiVersion; }
