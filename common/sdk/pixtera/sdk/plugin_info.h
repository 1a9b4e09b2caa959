// SPDX-License-Identifier: MIT
#pragma once
// IPluginInfo: what every plug-in object may implement to be configured.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IPluginInfo : IUnknown {
    // Asks the user for settings; *accepted true (-1) when the configuration may be stored.
    virtual HRESULT STDMETHODCALLTYPE EditConfiguration(VARIANT_BOOL* accepted) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPluginName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConfiguration(BSTR* configuration) = 0;
    // The stored configuration text, handed to a new instance.
    virtual HRESULT STDMETHODCALLTYPE Configure(BSTR configuration) = 0;
};
PIXTERA_DECLARE_INTERFACE(IPluginInfo, IUnknown, IID_IPluginInfo);
