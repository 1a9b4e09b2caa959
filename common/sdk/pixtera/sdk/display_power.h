// SPDX-License-Identifier: MIT
#pragma once
// IDisplayPower: optional. A display that can switch its backlight, and maybe dim it, says so
// here; the service uses it to darken a display while it is blanked (locked, idle, at night,
// asleep) and scripts switch it over the bus.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

// What GetPowerCaps answers, or-ed.
enum DisplayPowerCaps : LONG {
    kPowerBacklight = 1, // SetBacklight works
    kPowerBrightness = 2, // SetBrightness works
};

struct IDisplayPower : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetBacklight(VARIANT_BOOL on) = 0;
    // 0-100; E_NOTIMPL on a display that cannot dim, E_INVALIDARG outside the range.
    virtual HRESULT STDMETHODCALLTYPE SetBrightness(LONG percent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPowerCaps(LONG* caps) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayPower, IUnknown, IID_IDisplayPower);
