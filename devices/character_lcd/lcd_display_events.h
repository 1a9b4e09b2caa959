// SPDX-License-Identifier: MIT
#pragma once
// IDisplayEvents for the native character LCD drivers: a device node that appears has the writer
// try its module at once, and a wake-up from sleep has it initialise the module again. Derived
// derives from LcdDisplayDriver<Derived> too and lists this in ComObject.

#include "lcd_display_driver.h"

#include <pixtera/sdk/display_events.h>

namespace pixtera::lcd {

template <class Derived>
class LcdDisplayEvents : public IDisplayEvents {
public:
    HRESULT STDMETHODCALLTYPE DeviceAppeared(BSTR) override
    {
        // Whatever the node, trying costs one open() of a module that is away, and nothing when
        // it is there: names differ (by-id links, a bus number that moved).
        static_cast<Derived*>(this)->WithWriter([](LcdWriter& writer) { writer.TryNow(); });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Resumed() override
    {
        static_cast<Derived*>(this)->WithWriter([](LcdWriter& writer) { writer.Reinitialise(); });
        return S_OK;
    }
};

} // namespace pixtera::lcd

template <class Derived>
struct InterfaceTraits<pixtera::lcd::LcdDisplayEvents<Derived>> : InterfaceTraits<IDisplayEvents> {
};
