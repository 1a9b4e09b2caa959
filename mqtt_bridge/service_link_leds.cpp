// SPDX-License-Identifier: MIT
// A display's LEDs over the bus (org.pixtera.IDisplayLeds, only on displays whose driver has them).
#include "service_link.h"

#include "display_signals.h"

#include <pixtera/remote/bus_names.h>

namespace pixtera::bridge {

std::vector<DisplayLed> ServiceLink::Leds(int display)
{
    std::vector<LedEntry> entries;
    try {
        entries = Display(display)->getProperty("Leds").onInterface(bus::kDisplayLeds).get<std::vector<LedEntry>>();
    } catch (const sdbus::Error& error) {
        if (ServiceAway(error))
            throw;
        return {}; // no such interface: a driver without LEDs
    }
    return ReadLeds(std::move(entries), kMostLeds);
}

void ServiceLink::SetLed(int display, int led, const std::string& state)
{
    Display(display)
        ->callMethod("SetLed")
        .onInterface(bus::kDisplayLeds)
        .withArguments(static_cast<std::uint32_t>(led), state);
}

} // namespace pixtera::bridge
