// SPDX-License-Identifier: MIT
#pragma once
// A display's LEDs on the broker: a select per LED that shows colours (off, green, red, amber),
// a switch per LED that is only on or off. Each LED's state is retained on
// pixtera/<machine>/display/<n>/led/<i> (LEDs from 1, as displays are) and set on .../set.

#include "discovery.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

// One of a display's LEDs, as the service says: its state and the states it can show ("off",
// "on", "green", "red", "amber").
struct DisplayLed {
    std::string state;
    std::vector<std::string> states;
    bool operator==(const DisplayLed&) const = default;
};

// The LEDs as the service listed them, made what an entity can carry: each LED's states those of
// off, on, green, red and amber it named, in that order; the list ends before a LED that names
// fewer than two of them or a state that is not among its own, and after `most`. Whoever holds
// the service's name answers, so nothing it says reaches the broker unchecked.
std::vector<DisplayLed> CheckedLeds(std::vector<DisplayLed> listed, std::size_t most);

// Only off and on: a switch.
bool IsSwitch(const DisplayLed& led);

std::string LedTopic(const Topics& topics, int display, int led);
std::string LedConfigTopic(const Topics& topics, int display, int led, const DisplayLed& kind);
std::string LedConfig(const Topics& topics, int display, int led, const DisplayLed& kind);
// The state as the entity reads it: ON or OFF for a switch, the state's name for a select.
std::string LedPayload(const DisplayLed& led);
// The state a command's payload asks for; none, with `why`, when the LED cannot show it.
std::optional<std::string> LedCommand(const DisplayLed& led, std::string_view payload, std::string& why);

} // namespace pixtera::bridge
