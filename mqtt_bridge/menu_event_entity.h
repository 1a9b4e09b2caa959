// SPDX-License-Identifier: MIT
#pragma once
// A display's menu events (a menu entry that publishes an event, the service's MenuEvent) as a
// Home Assistant event entity "Menu" of its own, beside the keys': its event types are the
// events' names, which only the menu file knows, so the entity lists those heard since the bridge
// started and is announced again, the new name added, before the first event of that name.
// Bounded: at most kMostNames names per display; an event of yet another name is left out.

#include "discovery.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

// Letters, digits, '_', '-' and '.', 1 to 64 of them: what a menu file may name.
bool IsMenuEventName(std::string_view name);

// {"event_type": "garage.open"}; with "presses" when it came more than once while it waited.
std::string MenuEventPayload(const std::string& name, int presses);

// pixtera/<machine>/display/<n>/menu; not retained.
std::string MenuEventTopic(const Topics& topics, int display);
std::string MenuEventConfigTopic(const Topics& topics, int display);
// The entity on the display's device, as the keys' is, with `names` as its event types.
std::string MenuEventConfig(const Topics& topics, int display, const std::vector<std::string>& names);

// The names heard per display, in the order they came.
class MenuEventNames {
public:
    static constexpr std::size_t kMostNames = 32;

    enum class Heard { Known, New, TooMany };
    Heard Hear(int display, const std::string& name);
    const std::vector<std::string>& Of(int display) const;
    void Forget(int display) { names_.erase(display); }

private:
    std::map<int, std::vector<std::string>> names_;
};

// Menu events travel with the keys (KeyEvents, one event per display every 100 ms) under a name
// no key has.
inline constexpr std::string_view kMenuEventPrefix = "Menu:";

} // namespace pixtera::bridge
