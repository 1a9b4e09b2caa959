// SPDX-License-Identifier: MIT
#pragma once
// IDisplayLinkState for the native character LCD drivers: whether the writer's module is linked.
// Derived derives from LcdDisplayDriver<Derived> too and lists this in ComObject.

#include "lcd_display_driver.h"

#include <pixtera/sdk/display_link_state.h>

namespace pixtera::lcd {

template <class Derived>
class LcdDisplayLinkState : public IDisplayLinkState {
public:
    HRESULT STDMETHODCALLTYPE GetLinkState(VARIANT_BOOL* linked, LONGLONG* outageSince) override
    {
        if (!linked || !outageSince)
            return E_POINTER;
        const WriterLink link = static_cast<Derived*>(this)->Link();
        *linked = link.linked ? VARIANT_TRUE : VARIANT_FALSE;
        *outageSince =
            !link.linked && link.lostSince
                ? std::chrono::duration_cast<std::chrono::seconds>(link.lostSince->time_since_epoch()).count()
                : 0;
        return S_OK;
    }
};

} // namespace pixtera::lcd

template <class Derived>
struct InterfaceTraits<pixtera::lcd::LcdDisplayLinkState<Derived>> : InterfaceTraits<IDisplayLinkState> {
};
