// SPDX-License-Identifier: MIT
#pragma once
// IDisplayLeds: optional, for modules with status LEDs of their own (a CFA635's four red/green
// LEDs, a picoLCD's). Asking and setting are cheap and never wait for the link: a state set is
// remembered and the driver's writer sends it, again after every reconnection. The service shows
// the LEDs on the display's bus object; the MQTT bridge gives each an entity.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

#include <array>
#include <optional>
#include <string_view>

// What a LED shows.
enum LedState : LONG {
    kLedOff = 0,
    kLedOn = 1, // a LED of one colour
    kLedGreen = 2,
    kLedRed = 3,
    kLedAmber = 4, // green and red together
};

// The states one LED can show, a bit (1 << LedState) each.
inline constexpr LONG kLedOnOff = (1 << kLedOff) | (1 << kLedOn);
inline constexpr LONG kLedRedGreen = (1 << kLedOff) | (1 << kLedGreen) | (1 << kLedRed) | (1 << kLedAmber);

struct IDisplayLeds : IUnknown {
    // 0 for a module of a kind that has none (a driver for several models answers for its model).
    virtual HRESULT STDMETHODCALLTYPE GetLedCount(LONG* count) = 0;
    // The states LED `index` can show (1 << LedState, or-ed); E_INVALIDARG outside the count.
    virtual HRESULT STDMETHODCALLTYPE GetLedStates(LONG index, LONG* states) = 0;
    // What the LED was last set to (the configuration's, or off, before any).
    virtual HRESULT STDMETHODCALLTYPE GetLed(LONG index, LONG* state) = 0;
    // E_INVALIDARG outside the count or for a state the LED cannot show.
    virtual HRESULT STDMETHODCALLTYPE SetLed(LONG index, LONG state) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayLeds, IUnknown, IID_IDisplayLeds);

namespace pixtera {

// The names the bus and the broker carry: "off", "on", "green", "red", "amber".
inline constexpr std::array<std::string_view, 5> kLedStateNames{"off", "on", "green", "red", "amber"};

// Empty for a number that is no LedState.
inline std::string_view LedStateName(LONG state)
{
    return state >= 0 && state < static_cast<LONG>(kLedStateNames.size())
               ? kLedStateNames[static_cast<std::size_t>(state)]
               : std::string_view();
}

inline std::optional<LONG> ParseLedState(std::string_view name)
{
    for (std::size_t state = 0; state < kLedStateNames.size(); ++state)
        if (kLedStateNames[state] == name)
            return static_cast<LONG>(state);
    return std::nullopt;
}

inline bool LedCanShow(LONG states, LONG state) { return state >= 0 && state < 31 && (states >> state) & 1; }

} // namespace pixtera
