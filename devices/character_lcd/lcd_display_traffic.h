// SPDX-License-Identifier: MIT
#pragma once
// IDisplayTraffic for the native character LCD drivers: the writer's measure of the last frame.
// Derived derives from LcdDisplayDriver<Derived> too and lists this in ComObject.

#include "lcd_display_driver.h"

#include <pixtera/sdk/display_traffic.h>

#include <algorithm>
#include <limits>

namespace pixtera::lcd {

template <class Derived>
class LcdDisplayTraffic : public IDisplayTraffic {
public:
    HRESULT STDMETHODCALLTYPE GetLastFrameTraffic(LONG* bytes, LONG* messages, LONGLONG* clocks,
                                                  LONGLONG* microseconds) override
    {
        if (!bytes || !messages || !clocks || !microseconds)
            return E_POINTER;
        const LinkTraffic traffic = static_cast<Derived*>(this)->LastFrameTraffic();
        constexpr std::size_t kMost = std::numeric_limits<LONG>::max();
        *bytes = static_cast<LONG>(std::min(traffic.bytes, kMost));
        *messages = static_cast<LONG>(std::min(traffic.messages, kMost));
        *clocks = static_cast<LONGLONG>(std::min<std::uint64_t>(traffic.clocks, std::numeric_limits<LONGLONG>::max()));
        *microseconds = std::chrono::duration_cast<std::chrono::microseconds>(traffic.elapsed).count();
        return S_OK;
    }
};

} // namespace pixtera::lcd

template <class Derived>
struct InterfaceTraits<pixtera::lcd::LcdDisplayTraffic<Derived>> : InterfaceTraits<IDisplayTraffic> {
};
