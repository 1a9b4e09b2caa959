// SPDX-License-Identifier: MIT
#pragma once
// IDataFeed: optional, for data providers whose values others push in (the service's
// /org/pixtera/Feed hands them SetValue calls from scripts on the bus).

#include <pixtera/platform/com.h>
#include <pixtera/platform/variant.h>
#include <pixtera/sdk/guids.h>

struct IDataFeed : IUnknown {
    // Stores the value of the named item: S_OK; DISP_E_UNKNOWNNAME when the provider has no item
    // of that name; DISP_E_TYPEMISMATCH for a value a design cannot show.
    virtual HRESULT STDMETHODCALLTYPE SetValue(BSTR name, VARIANT value) = 0;
    // The names of the items it takes, separated by commas.
    virtual HRESULT STDMETHODCALLTYPE GetFeedNames(BSTR* names) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDataFeed, IUnknown, IID_IDataFeed);
