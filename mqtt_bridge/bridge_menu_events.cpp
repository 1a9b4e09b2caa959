// SPDX-License-Identifier: MIT
// The events of the displays' menus, published on their own event entity.

#include "bridge.h"

#include <pixtera/platform/event_log.h>

namespace pixtera::bridge {

void Bridge::PublishMenuEvent(const KeyEvent& event)
{
    const std::string name = event.key.substr(kMenuEventPrefix.size());
    switch (menuNames_.Hear(event.display, name)) {
    case MenuEventNames::Heard::Known: break;
    case MenuEventNames::Heard::New:
        // Home Assistant takes only the event types its entity lists: the name first.
        broker_->Publish(MenuEventConfigTopic(topics_, event.display),
                         MenuEventConfig(topics_, event.display, menuNames_.Of(event.display)), true);
        break;
    case MenuEventNames::Heard::TooMany:
        if (menuNamesFull_.insert(event.display).second)
            LogWarning("pixtera-mqtt: display " + std::to_string(event.display) + "'s menu publishes more than " +
                       std::to_string(MenuEventNames::kMostNames) + " events; \"" + name +
                       "\" and the other new ones are left out");
        return;
    }
    broker_->Publish(MenuEventTopic(topics_, event.display), MenuEventPayload(name, event.presses), false);
}

} // namespace pixtera::bridge
