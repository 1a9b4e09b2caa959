// SPDX-License-Identifier: MIT
#include "service_actions.h"

#include <pixtera/platform/event_log.h>

namespace pixtera {

ServiceActions::ServiceActions(CommandActions::Limits commands, std::unique_ptr<LogindActions> logind,
                               MenuEvents& events)
    : events_(events), logind_(std::move(logind)), commands_(std::move(commands))
{
}

void ServiceActions::Start(int display, const MenuAction& action, ActionFinished finished)
{
    switch (action.kind) {
    case MenuActionKind::RunCommand: commands_.Start(display, action.command, std::move(finished)); return;
    case MenuActionKind::Lock:
    case MenuActionKind::Suspend:
    case MenuActionKind::PowerOff:
    case MenuActionKind::Reboot:
        if (logind_)
            logind_->Start(action.kind, std::move(finished));
        else
            finished("No system bus");
        return;
    case MenuActionKind::PublishEvent:
        if (events_.Publish(display, action.event)) {
            finished({});
        } else {
            LogWarning("Menu of display " + std::to_string(display + 1) + ": event \"" + action.event +
                       "\" not published (no session bus, or events come faster than the bus takes them)");
            finished("Not published");
        }
        return;
    default: finished("Not done here"); return;
    }
}

} // namespace pixtera
