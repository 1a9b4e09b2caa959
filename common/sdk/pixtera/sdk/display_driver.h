// SPDX-License-Identifier: MIT
#pragma once
// IDisplayDriver: a plug-in object that drives one character display.
//
// A frame is rows x columns single bytes of Windows-1252, row after row without separators,
// passed as one BSTR (each byte one character). Codes 8 to 15 show the user characters 0 to 7,
// as on HD44780 modules; horizontal bars use code 8.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDisplayDriver : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetColumns(LONG* columns) = 0;
    // Pixel size of the whole display, for the designer's preview (0 width: cells of 6 x 8).
    virtual HRESULT STDMETHODCALLTYPE GetPixelHeight(LONG* pixels) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPixelWidth(LONG* pixels) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* pixels) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* pixels) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRows(LONG* rows) = 0;
    // The background image of the design about to be shown (may be empty).
    virtual HRESULT STDMETHODCALLTYPE SetBackground(BSTR fileName) = 0;
    // Keeps the slot order; not called.
    virtual HRESULT STDMETHODCALLTYPE Reserved() = 0;
    // Defines user character `code` (0-7); each row's low GetCharWidth bits are its pixels.
    virtual HRESULT STDMETHODCALLTYPE SetCustomChar(LONG code, BYTE row0, BYTE row1, BYTE row2, BYTE row3, BYTE row4,
                                                    BYTE row5, BYTE row6, BYTE row7) = 0;
    // Shows a complete frame; called only when it differs from the last one.
    virtual HRESULT STDMETHODCALLTYPE Write(BSTR frame) = 0;
    // Called once by the loader after it finds this interface; the value is not used.
    virtual HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* value) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayDriver, IUnknown, IID_IDisplayDriver);
