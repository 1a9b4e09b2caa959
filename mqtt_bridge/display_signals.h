// SPDX-License-Identifier: MIT
#pragma once
// What the bridge reads from a display's own signals: which display a signal's path names, and
// the key of a KeyPressed, the name of a MenuEvent. Anyone on the bus may address such a signal to the bridge, so
// nothing is taken on trust: a path that names no display, arguments of other types and a name that is no key are
// refused.

#include "led_entities.h"

#include <sdbus-c++/sdbus-c++.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

// "/org/pixtera/Display/3" is 3; none for any other path, or a display beyond kMostDisplays.
std::optional<int> DisplayOfPath(std::string_view path);

struct KeyPressedSignal {
    int display = 0; // from 0, as the bus numbers them
    std::string key; // as KeyName writes it
};
// None for a KeyPressed that is no display's or not a string; `noKey` says a string that names no key.
std::optional<KeyPressedSignal> ReadKeyPressed(sdbus::Message& message, bool& noKey);

struct MenuEventSignal {
    int display = 0; // from 0, as the bus numbers them
    std::string name; // IsMenuEventName
};
// None for a MenuEvent that is no display's or not a string; `badName` says a string that is no
// event's name.
std::optional<MenuEventSignal> ReadMenuEvent(sdbus::Message& message, bool& badName);

// A display's Leds property (a(sas)) as the bridge takes it: at most `most`, through CheckedLeds.
using LedEntry = sdbus::Struct<std::string, std::vector<std::string>>;
std::vector<DisplayLed> ReadLeds(std::vector<LedEntry> entries, std::size_t most);

} // namespace pixtera::bridge
