// SPDX-License-Identifier: MIT
#pragma once
// IDisplayLeds for the native character LCD drivers: a LED set is remembered here and handed to
// the writer, which sends it with the next update and again after every reconnection. Derived
// derives from LcdDisplayDriver<Derived> too, calls LayLeds from Describe (each configuration
// says which LEDs the module has and how they start), and lists this in ComObject.

#include "lcd_display_driver.h"

#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/out_parameter.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace pixtera::lcd {

// A module's LEDs: what each can show (1 << LedState, or-ed) and what it shows at first.
struct LedLayout {
    std::vector<LONG> states;
    std::vector<LONG> initial; // as many as states
};

template <class Derived>
class LcdDisplayLeds : public IDisplayLeds {
public:
    HRESULT STDMETHODCALLTYPE GetLedCount(LONG* count) override
    {
        std::lock_guard lock(ledMutex_);
        return Output(count, static_cast<LONG>(layout_.states.size()));
    }
    HRESULT STDMETHODCALLTYPE GetLedStates(LONG index, LONG* states) override
    {
        std::lock_guard lock(ledMutex_);
        if (!Within(index))
            return E_INVALIDARG;
        return Output(states, layout_.states[static_cast<std::size_t>(index)]);
    }
    HRESULT STDMETHODCALLTYPE GetLed(LONG index, LONG* state) override
    {
        std::lock_guard lock(ledMutex_);
        if (!Within(index))
            return E_INVALIDARG;
        return Output(state, shown_[static_cast<std::size_t>(index)]);
    }
    HRESULT STDMETHODCALLTYPE SetLed(LONG index, LONG state) override
    {
        // Two sets of one LED reach the writer in the order they were recorded, so that what the
        // property says and what the module shows end the same.
        std::lock_guard order(setMutex_);
        {
            std::lock_guard lock(ledMutex_);
            if (!Within(index) || !LedCanShow(layout_.states[static_cast<std::size_t>(index)], state))
                return E_INVALIDARG;
            shown_[static_cast<std::size_t>(index)] = state;
        }
        static_cast<Derived*>(this)->WithWriter(
            [index, state](LcdWriter& writer) { writer.SetLed(static_cast<int>(index), state); });
        return S_OK;
    }

protected:
    // From Describe: the LEDs of the module now configured, as they start (at most kMostLeds).
    void LayLeds(LedLayout layout)
    {
        layout.states.resize(std::min<std::size_t>(layout.states.size(), kMostLeds));
        layout.initial.resize(layout.states.size(), kLedOff);
        std::lock_guard lock(ledMutex_);
        shown_ = layout.initial;
        layout_ = std::move(layout);
    }

private:
    bool Within(LONG index) const { return index >= 0 && static_cast<std::size_t>(index) < layout_.states.size(); }

    std::mutex setMutex_; // held by a SetLed from its record to its hand-over, taken before ledMutex_
    std::mutex ledMutex_; // guards layout_ and shown_
    LedLayout layout_;
    std::vector<LONG> shown_; // what each was last set to
};

} // namespace pixtera::lcd

template <class Derived>
struct InterfaceTraits<pixtera::lcd::LcdDisplayLeds<Derived>> : InterfaceTraits<IDisplayLeds> {
};
