// SPDX-License-Identifier: MIT
// A display's LEDs over the bus (org.pixtera.IDisplayLeds, only on displays whose driver has them).
#include "service_link.h"

#include <pixtera/remote/bus_names.h>

namespace pixtera::bridge {

std::vector<DisplayLed> ServiceLink::Leds(int display)
{
    using Entry = sdbus::Struct<std::string, std::vector<std::string>>;
    std::vector<Entry> entries;
    try {
        entries = Display(display)->getProperty("Leds").onInterface(bus::kDisplayLeds).get<std::vector<Entry>>();
    } catch (const sdbus::Error& error) {
        if (ServiceAway(error))
            throw;
        return {}; // no such interface: a driver without LEDs
    }
    std::vector<DisplayLed> listed;
    for (auto& entry : entries) {
        if (listed.size() == kMostLeds)
            break;
        listed.push_back({std::move(entry.get<0>()), std::move(entry.get<1>())});
    }
    return CheckedLeds(std::move(listed), kMostLeds);
}

void ServiceLink::SetLed(int display, int led, const std::string& state)
{
    Display(display)
        ->callMethod("SetLed")
        .onInterface(bus::kDisplayLeds)
        .withArguments(static_cast<std::uint32_t>(led), state);
}

} // namespace pixtera::bridge
