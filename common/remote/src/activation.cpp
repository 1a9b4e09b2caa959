// SPDX-License-Identifier: MIT
#include <pixtera/remote/activation.h>

#include "proxies.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/sdk/guids.h>

namespace pixtera {

void InstallRemoteActivation()
{
    SetLocalServerActivator([](REFCLSID clsid, REFIID riid, void** object) -> HRESULT {
        if (clsid != CLSID_Manager)
            return REGDB_E_CLASSNOTREG; // the only class served out of process
        return MakeComObject<remote::ManagerClassFactoryProxy>()->QueryInterface(riid, object);
    });
}

} // namespace pixtera
