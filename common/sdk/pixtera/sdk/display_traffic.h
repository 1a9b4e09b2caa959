// SPDX-License-Identifier: MIT
#pragma once
// IDisplayTraffic: optional, for drivers that measure what a frame costs on their link (the
// native LCD drivers). The service shows it on the display's bus object; asking is cheap and
// never waits for the link.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDisplayTraffic : IUnknown {
    // The last update that wrote something: its bytes and messages, its I2C bus clocks (0 on a
    // serial line) and how long it took, pauses included; all 0 before the first.
    virtual HRESULT STDMETHODCALLTYPE GetLastFrameTraffic(LONG* bytes, LONG* messages, LONGLONG* clocks,
                                                          LONGLONG* microseconds) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayTraffic, IUnknown, IID_IDisplayTraffic);
