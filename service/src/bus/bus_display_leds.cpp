// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

namespace pixtera {
namespace {

using LedEntry = sdbus::Struct<std::string, std::vector<std::string>>;

std::vector<std::string> StateNames(LONG states)
{
    std::vector<std::string> names;
    for (LONG state = 0; state < static_cast<LONG>(kLedStateNames.size()); ++state)
        if (LedCanShow(states, state))
            names.emplace_back(LedStateName(state));
    return names;
}

std::vector<LedEntry> LedEntries(ManagedDisplay& display)
{
    std::vector<LedEntry> entries;
    for (const ManagedDisplay::Led& led : display.leds())
        entries.emplace_back(std::string(LedStateName(led.state)), StateNames(led.states));
    return entries;
}

std::string RefusedLed(ManagedDisplay& display, std::uint32_t index, const std::string& state)
{
    const auto leds = display.leds();
    if (index >= leds.size())
        return "no LED " + std::to_string(index) + " (the display has " + std::to_string(leds.size()) +
               ", numbered from 0)";
    std::string can;
    for (const auto& name : StateNames(leds[index].states))
        can += (can.empty() ? "" : ", ") + name;
    // Cut between characters: an error whose text is not UTF-8 is never sent, and its caller waits.
    return "LED " + std::to_string(index) + " cannot show \"" + std::string(Utf8Prefix(state, 16)) + "\"; it shows " +
           can;
}

} // namespace

void BusServer::ExportLeds(sdbus::IObject& object, LONG index)
{
    const auto displays = manager_.displays().Displays();
    if (index < 0 || static_cast<std::size_t>(index) >= displays.size() ||
        !displays[static_cast<std::size_t>(index)]->hasLeds())
        return;
    const ComPtr<ManagedDisplay> display = displays[static_cast<std::size_t>(index)];
    const char* const l = bus::kDisplayLeds;
    guard_.Method(object, "SetLed")
        .onInterface(l)
        .withInputParamNames("index", "state")
        .implementedAs([display, &object](std::uint32_t led, const std::string& state) {
            const auto wanted = ParseLedState(state);
            const auto before = display->leds();
            const HRESULT hr = wanted && led < static_cast<std::uint32_t>(ManagedDisplay::kMostLeds)
                                   ? display->SetLed(static_cast<LONG>(led), *wanted)
                                   : E_INVALIDARG;
            wire::Check(hr, [&] { return RefusedLed(*display, led, state); });
            // Set only here, on the bus thread: announced at once, and only a change, so that a
            // client repeating itself wakes nobody else.
            if (led >= before.size() || before[led].state != *wanted)
                object.emitPropertiesChangedSignal(bus::kDisplayLeds, {"Leds"});
        });
    object.registerProperty("Leds").onInterface(l).withGetter([display] { return LedEntries(*display); });
}

} // namespace pixtera
