// SPDX-License-Identifier: MIT
#pragma once
// What a plug-in hosted in a process of its own (by DispatchWrapper.core) adds to its interfaces.
//
// Every call into it has a deadline. When the host process crashes, exits, hangs past the
// deadline or answers nonsense, it is killed and the call fails with E_PLUGIN_HOST_FAILED; the
// caller treats the plug-in as faulty. The wrapper then starts a new host after a pause (1, 2, 4
// ... 60 s), creates the plug-in again and configures it with the same text; IPluginHost tells
// when it is back.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

// 0x80040A01: the plug-in's host process failed (crashed, exited, hung or answered nonsense).
inline constexpr HRESULT E_PLUGIN_HOST_FAILED = MakeHresult(0x80040A01u);

struct IPluginHost : IUnknown {
    // Counts the hosts that came up with the plug-in created and configured: it moves on when a
    // failed plug-in is back. S_FALSE while there is no working host.
    virtual HRESULT STDMETHODCALLTYPE HostGeneration(LONG* generation) = 0;
};
PIXTERA_DECLARE_INTERFACE(IPluginHost, IUnknown, IID_IPluginHost);
