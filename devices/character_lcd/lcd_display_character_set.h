// SPDX-License-Identifier: MIT
#pragma once
// IDisplayCharacterSet for the native character LCD drivers: the ROM of the configuration in
// force. Derived derives from LcdDisplayDriver<Derived> too and lists this in ComObject.

#include "lcd_display_driver.h"

#include <pixtera/sdk/display_character_set.h>

namespace pixtera::lcd {

template <class Derived>
class LcdDisplayCharacterSet : public IDisplayCharacterSet {
public:
    HRESULT STDMETHODCALLTYPE GetRom(BSTR* rom) override
    {
        if (!rom)
            return E_POINTER;
        *rom = BString(std::string_view(RomName(static_cast<Derived*>(this)->Rom()))).Detach();
        return S_OK;
    }
};

} // namespace pixtera::lcd

template <class Derived>
struct InterfaceTraits<pixtera::lcd::LcdDisplayCharacterSet<Derived>> : InterfaceTraits<IDisplayCharacterSet> {
};
