// SPDX-License-Identifier: MIT
#pragma once
// IVirtualDisplay: the text canvas that holds one frame.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IVirtualDisplay : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* pixels) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* pixels) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetColumns(LONG* columns) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRows(LONG* rows) = 0;
    // The frame as rows x columns characters; the caller frees it.
    virtual HRESULT STDMETHODCALLTYPE GetText(BSTR* frame) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(LONG columns, LONG rows, LONG cellWidth, LONG cellHeight) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteText(LONG column, LONG row, BSTR text) = 0;
};
PIXTERA_DECLARE_INTERFACE(IVirtualDisplay, IUnknown, IID_IVirtualDisplay);
