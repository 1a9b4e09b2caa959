// SPDX-License-Identifier: MIT
#pragma once
// IDisplayUnicodeFrame for the native character LCD drivers: the frame's code points handed to
// the writer, which maps them with the driver's ROM profile and shares the eight user characters
// among what the ROM lacks. Derived derives from LcdDisplayDriver<Derived> too and lists this in
// ComObject.

#include "lcd_display_driver.h"

#include <pixtera/sdk/display_unicode_frame.h>

namespace pixtera::lcd {

template <class Derived>
class LcdDisplayUnicodeFrame : public IDisplayUnicodeFrame {
public:
    HRESULT STDMETHODCALLTYPE WriteUnicode(BSTR frame) override
    {
        static_cast<Derived*>(this)->ShowUnicode(BstrView(frame));
        return S_OK;
    }
};

} // namespace pixtera::lcd

template <class Derived>
struct InterfaceTraits<pixtera::lcd::LcdDisplayUnicodeFrame<Derived>> : InterfaceTraits<IDisplayUnicodeFrame> {
};
