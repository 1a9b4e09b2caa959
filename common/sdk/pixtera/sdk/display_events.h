// SPDX-License-Identifier: MIT
#pragma once
// IDisplayEvents: optional, for drivers of hardware. The service passes on what happens to the
// machine's devices, so that a module is back at once, without the driver looking for it.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDisplayEvents : IUnknown {
    // A device node appeared ("/dev/ttyUSB0", "/dev/i2c-3": a module plugged in, an adapter
    // bringing its bus). A driver whose module is away tries it now.
    virtual HRESULT STDMETHODCALLTYPE DeviceAppeared(BSTR device) = 0;
    // The machine woke from sleep: modules on USB lost their power. The module is initialised
    // again and gets its user characters and the whole frame.
    virtual HRESULT STDMETHODCALLTYPE Resumed() = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayEvents, IUnknown, IID_IDisplayEvents);
