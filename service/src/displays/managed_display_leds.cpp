// SPDX-License-Identifier: MIT
// A display's LEDs, as its driver has them (IDisplayLeds).
#include "managed_display.h"

#include <algorithm>

namespace pixtera {

void ManagedDisplay::SetUpLeds()
{
    ComPtr<IDisplayLeds> leds;
    fault_->Guard([&] { leds = driverObject_.As<IDisplayLeds>(); });
    LONG count = 0;
    HRESULT hr = E_FAIL;
    // A driver for several models may have the interface and no LEDs on this one.
    if (leds && fault_->Guard([&] { return hr = leds->GetLedCount(&count); }) && SUCCEEDED(hr) && count > 0)
        leds_ = std::move(leds);
}

std::vector<ManagedDisplay::Led> ManagedDisplay::leds()
{
    std::vector<Led> leds;
    LONG count = 0;
    HRESULT hr = E_FAIL;
    if (!leds_ || !fault_->Guard([&] { return hr = leds_->GetLedCount(&count); }) || FAILED(hr))
        return leds;
    // A driver's answer is bounded like any other input.
    for (LONG index = 0; index < std::min<LONG>(count, kMostLeds); ++index) {
        Led led;
        HRESULT states = E_FAIL;
        HRESULT state = E_FAIL;
        if (!fault_->Guard([&] { return states = leds_->GetLedStates(index, &led.states); }) ||
            !fault_->Guard([&] { return state = leds_->GetLed(index, &led.state); }) || FAILED(states) || FAILED(state))
            return {};
        leds.push_back(led);
    }
    return leds;
}

HRESULT ManagedDisplay::SetLed(LONG index, LONG state)
{
    if (!leds_)
        return E_NOTIMPL;
    HRESULT hr = E_FAIL;
    fault_->Guard([&] { return hr = leds_->SetLed(index, state); });
    return hr;
}

} // namespace pixtera
