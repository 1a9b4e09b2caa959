// SPDX-License-Identifier: MIT
#pragma once
// IDisplayPower for the native character LCD drivers: the backlight (and, where the module can
// dim, its brightness) go to the writer, which sends them with the next update and again after
// every reconnection. Derived derives from LcdDisplayDriver<Derived> too, declares
// `static constexpr LONG kPowerCaps`, and lists this in ComObject.

#include "lcd_display_driver.h"

#include <pixtera/sdk/display_power.h>

namespace pixtera::lcd {

template <class Derived>
class LcdDisplayPower : public IDisplayPower {
public:
    HRESULT STDMETHODCALLTYPE SetBacklight(VARIANT_BOOL on) override
    {
        static_cast<Derived*>(this)->WithWriter([on](LcdWriter& writer) { writer.SetBacklight(on != 0); });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBrightness(LONG percent) override
    {
        if (!(Derived::kPowerCaps & kPowerBrightness))
            return E_NOTIMPL;
        if (percent < 0 || percent > 100)
            return E_INVALIDARG;
        const int level = static_cast<int>((percent * 255 + 50) / 100);
        static_cast<Derived*>(this)->WithWriter([level](LcdWriter& writer) { writer.SetBrightness(level); });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPowerCaps(LONG* caps) override { return Output(caps, Derived::kPowerCaps); }
};

} // namespace pixtera::lcd

template <class Derived>
struct InterfaceTraits<pixtera::lcd::LcdDisplayPower<Derived>> : InterfaceTraits<IDisplayPower> {
};
