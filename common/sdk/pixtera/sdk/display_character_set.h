// SPDX-License-Identifier: MIT
#pragma once
// IDisplayCharacterSet: optional, for drivers of modules with a character generator ROM. The
// designer previews such a display with the glyphs the module really shows; a driver that does
// not say is previewed with the glyphs the text means.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDisplayCharacterSet : IUnknown {
    // The module's ROM: "a00" (HD44780 Japanese standard font), "a02" (European font) or
    // "cyrillic" (the Russian font of compatible controllers).
    virtual HRESULT STDMETHODCALLTYPE GetRom(BSTR* rom) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayCharacterSet, IUnknown, IID_IDisplayCharacterSet);
