// SPDX-License-Identifier: MIT
#include "led_entities.h"

#include <pixtera/sdk/display_leds.h>

#include <nlohmann/json.hpp>

#include <algorithm>

namespace pixtera::bridge {
namespace {

using Json = nlohmann::ordered_json;

std::string LedId(int led) { return "led_" + std::to_string(led); }

std::string Upper(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
    return upper;
}

} // namespace

std::vector<DisplayLed> CheckedLeds(std::vector<DisplayLed> listed, std::size_t most)
{
    std::vector<DisplayLed> leds;
    for (auto& led : listed) {
        if (leds.size() == most)
            break;
        DisplayLed checked;
        for (const std::string_view name : kLedStateNames)
            if (std::find(led.states.begin(), led.states.end(), name) != led.states.end())
                checked.states.emplace_back(name);
        if (checked.states.size() < 2 ||
            std::find(checked.states.begin(), checked.states.end(), led.state) == checked.states.end())
            break; // the LEDs after it would take its number
        checked.state = std::move(led.state);
        leds.push_back(std::move(checked));
    }
    return leds;
}

bool IsSwitch(const DisplayLed& led) { return led.states == std::vector<std::string>{"off", "on"}; }

std::string LedTopic(const Topics& topics, int display, int led)
{
    return topics.Display(display) + "/led/" + std::to_string(led);
}

std::string LedConfigTopic(const Topics& topics, int display, int led, const DisplayLed& kind)
{
    return topics.DisplayConfigTopic(IsSwitch(kind) ? "switch" : "select",
                                     "display_" + std::to_string(display) + "_" + LedId(led));
}

std::string LedConfig(const Topics& topics, int display, int led, const DisplayLed& kind)
{
    Json config = Json::parse(topics.DisplayEntity(display, "LED " + std::to_string(led), LedId(led)));
    config["command_topic"] = LedTopic(topics, display, led) + "/set";
    config["state_topic"] = LedTopic(topics, display, led);
    if (IsSwitch(kind)) {
        config["payload_on"] = "ON";
        config["payload_off"] = "OFF";
    } else {
        config["options"] = kind.states;
    }
    return config.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string LedPayload(const DisplayLed& led)
{
    if (IsSwitch(led))
        return led.state == "on" ? "ON" : "OFF";
    return led.state;
}

std::optional<std::string> LedCommand(const DisplayLed& led, std::string_view payload, std::string& why)
{
    if (IsSwitch(led)) {
        const std::string wanted = Upper(payload);
        if (wanted == "ON" || wanted == "OFF")
            return wanted == "ON" ? "on" : "off";
        why = "ON or OFF was expected";
        return std::nullopt;
    }
    if (std::find(led.states.begin(), led.states.end(), payload) != led.states.end())
        return std::string(payload);
    why = "the LED shows only ";
    for (std::size_t n = 0; n < led.states.size(); ++n)
        why += (n ? ", " : "") + led.states[n];
    return std::nullopt;
}

} // namespace pixtera::bridge
