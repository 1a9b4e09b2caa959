// SPDX-License-Identifier: MIT
#pragma once
// The test modules' extra interface: the calls a test plug-in received, one line each, in order.
// Lines read "Method args @thread" so tests can check order, arguments and threads.

#include <pixtera/platform/com.h>

// {B0D3B7E2-6A14-4E43-9C57-5E0F6C3A9D21}
inline constexpr IID IID_ICallLog{0xB0D3B7E2, 0x6A14, 0x4E43, {0x9C, 0x57, 0x5E, 0x0F, 0x6C, 0x3A, 0x9D, 0x21}};

struct ICallLog : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCalls(BSTR* lines) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearCalls() = 0;
};
PIXTERA_DECLARE_INTERFACE(ICallLog, IUnknown, IID_ICallLog);

// ProgIDs and class of the recording display driver.
// {6E2B8B51-0C4D-4F8A-B1E7-2A9C3D4E5F60}
inline constexpr CLSID CLSID_RecordingDisplay{
    0x6E2B8B51, 0x0C4D, 0x4F8A, {0xB1, 0xE7, 0x2A, 0x9C, 0x3D, 0x4E, 0x5F, 0x60}};
inline constexpr const char16_t* kRecordingDisplayProgId = u"PixteraTest.RecordingDisplay";
