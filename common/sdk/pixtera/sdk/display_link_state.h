// SPDX-License-Identifier: MIT
#pragma once
// IDisplayLinkState: optional, for drivers that know whether their module is reachable (the native
// LCD drivers, a file display). The service shows it on the display's bus object and polls it
// at most once a second, so asking is cheap and never waits for the link. A driver without it counts as
// always linked.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDisplayLinkState : IUnknown {
    // Whether the module is linked now; when it is not, since when it was lost (wall-clock seconds
    // since the epoch), or 0 when it never was linked.
    virtual HRESULT STDMETHODCALLTYPE GetLinkState(VARIANT_BOOL* linked, LONGLONG* outageSince) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayLinkState, IUnknown, IID_IDisplayLinkState);
