// SPDX-License-Identifier: MIT
// A module built for another module ABI: the loader must refuse it before calling into it.
#include <pixtera/platform/com.h>

extern "C" __attribute__((visibility("default"))) int PixteraModuleAbi() { return 1; }

PX_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID, REFIID, void** object)
{
    *object = nullptr;
    return E_UNEXPECTED; // called: the check failed
}
