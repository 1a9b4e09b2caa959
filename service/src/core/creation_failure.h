// SPDX-License-Identifier: MIT
#pragma once
// Why a plug-in could not be created, in words a user can act on.

#include <pixtera/platform/hresult.h>

#include <string>

namespace pixtera {

// `result` is what the creation returned; `threw` that the plug-in threw while being created or
// configured. Looks into the registration and the module to name the cause.
std::string CreationFailureReason(const std::u16string& progId, HRESULT result, bool threw);

} // namespace pixtera
