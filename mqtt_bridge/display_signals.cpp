// SPDX-License-Identifier: MIT
#include "display_signals.h"

#include "bridge_options.h"
#include "menu_event_entity.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/sdk/key_names.h>

#include <charconv>

namespace pixtera::bridge {

std::optional<int> DisplayOfPath(std::string_view path)
{
    const std::string first = bus::DisplayPath(0);
    const std::string_view prefix = std::string_view(first).substr(0, first.size() - 1);
    if (!path.starts_with(prefix) || path.size() == prefix.size())
        return std::nullopt;
    const std::string_view digits = path.substr(prefix.size());
    int display = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), display);
    // Beyond the displays the bridge serves: numbered from 1 on the broker, it would overflow.
    if (error != std::errc() || end != digits.data() + digits.size() || display < 0 || display >= kMostDisplays)
        return std::nullopt;
    return display;
}

std::optional<KeyPressedSignal> ReadKeyPressed(sdbus::Message& message, bool& noKey)
{
    noKey = false;
    const auto display = DisplayOfPath(message.getPath());
    std::string name;
    try {
        message >> name;
    } catch (const sdbus::Error&) {
        return std::nullopt; // other types: the caller's guard names the sender
    }
    if (!message || !display)
        return std::nullopt;
    const auto key = KeyFromName(name);
    if (!key) {
        noKey = true;
        return std::nullopt;
    }
    return KeyPressedSignal{*display, KeyName(*key)};
}

std::optional<MenuEventSignal> ReadMenuEvent(sdbus::Message& message, bool& badName)
{
    badName = false;
    const auto display = DisplayOfPath(message.getPath());
    std::string name;
    try {
        message >> name;
    } catch (const sdbus::Error&) {
        return std::nullopt;
    }
    if (!message || !display)
        return std::nullopt;
    if (!IsMenuEventName(name)) {
        badName = true;
        return std::nullopt;
    }
    return MenuEventSignal{*display, std::move(name)};
}

std::vector<DisplayLed> ReadLeds(std::vector<LedEntry> entries, std::size_t most)
{
    std::vector<DisplayLed> listed;
    for (auto& entry : entries) {
        if (listed.size() == most)
            break;
        listed.push_back({std::move(entry.get<0>()), std::move(entry.get<1>())});
    }
    return CheckedLeds(std::move(listed), most);
}

} // namespace pixtera::bridge
