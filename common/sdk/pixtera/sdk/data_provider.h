// SPDX-License-Identifier: MIT
#pragma once
// IDataProvider: a plug-in object that offers named live values.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

// How a provider wants to be polled (GetUpdateMode).
enum DataUpdateMode : LONG {
    kUpdateOnce = 0, // any value other than the three below
    kUpdateOnRequest = 1, // a poll for every read
    kUpdatePeriodic = 2, // a poll every GetInterval ms; reads copy the last values
    kUpdateDirect = 3, // names every GetInterval ms; reads call GetValue directly
};

struct IDataProvider : IUnknown {
    // Called at the start of every poll.
    virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) = 0;
    // Poll period in milliseconds (periodic and direct modes).
    virtual HRESULT STDMETHODCALLTYPE GetInterval(LONG* milliseconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(LONG* count) = 0;
    // The item's name: its key throughout the system.
    virtual HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) = 0;
    // A backslash-separated path, shown as a tree by the designer ("Fraps\FPS").
    virtual HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) = 0;
    // Numbers as VT_R8, texts as VT_BSTR, or any variant the display runtime can format.
    virtual HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDataProvider, IUnknown, IID_IDataProvider);
