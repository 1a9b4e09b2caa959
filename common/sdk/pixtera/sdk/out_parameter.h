// SPDX-License-Identifier: MIT
#pragma once

#include <pixtera/platform/com.h>

namespace pixtera {

// Writes an out-parameter, the COM way: E_POINTER when there is nowhere to write.
template <class T, class V>
HRESULT Output(T* out, V value)
{
    if (!out)
        return E_POINTER;
    *out = static_cast<T>(value);
    return S_OK;
}

} // namespace pixtera
