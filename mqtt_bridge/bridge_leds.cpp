// SPDX-License-Identifier: MIT
// Each display's LEDs: an entity per LED, its state as the service says, and the state a command
// sets (carried out like every command: the newest of each topic waits).
#include "bridge.h"

#include <algorithm>
#include <charconv>

namespace pixtera::bridge {

void Bridge::AnnounceLeds(int display, std::map<std::string, std::string>& configs)
{
    auto& leds = leds_[display];
    leds = service_->Leds(display - 1);
    for (std::size_t n = 0; n < leds.size(); ++n) {
        const int led = static_cast<int>(n) + 1;
        configs[LedConfigTopic(topics_, display, led, leds[n])] = LedConfig(topics_, display, led, leds[n]);
    }
    ledStates_.clear();
}

// After the service said a LED changed (or an announcement): the states that differ from those
// published. A display whose LEDs are no longer those announced waits for the next announcement.
void Bridge::PublishLeds(bool force)
{
    for (auto it = leds_.begin(); it != leds_.end();) {
        auto& [display, announced] = *it;
        if (display > displays_) {
            it = leds_.erase(it);
            continue;
        }
        const std::vector<DisplayLed> now = announced.empty() ? announced : service_->Leds(display - 1);
        for (std::size_t n = 0; n < std::min(now.size(), announced.size()); ++n) {
            if (now[n].states != announced[n].states)
                continue;
            const std::string topic = LedTopic(topics_, display, static_cast<int>(n) + 1);
            const std::string payload = LedPayload(now[n]);
            auto& published = ledStates_[topic];
            if ((force || published != payload) && broker_->Publish(topic, payload, true))
                published = payload;
        }
        ++it;
    }
}

// pixtera/<machine>/display/<n>/led/<i>/set: a state LED i (from 1) can show.
void Bridge::SetLed(int display, std::string_view number, const mqtt::Message& command)
{
    const auto& leds = leds_[display];
    int led = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), led);
    if (number.empty() || error != std::errc() || end != number.data() + number.size() || led < 1 ||
        static_cast<std::size_t>(led) > leds.size())
        return Ignore(command, "the display has no such LED (it has " + std::to_string(leds.size()) + ")");
    std::string why;
    const auto state = LedCommand(leds[static_cast<std::size_t>(led) - 1], command.payload, why);
    if (!state)
        return Ignore(command, why);
    service_->SetLed(display - 1, led - 1, *state);
}

} // namespace pixtera::bridge
