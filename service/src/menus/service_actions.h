// SPDX-License-Identifier: MIT
#pragma once
// The service's OutsideActions: commands, logind's requests and events for the bus, each to the
// part that does it.

#include "command_actions.h"
#include "logind_actions.h"
#include "menu_events.h"
#include "outside_actions.h"

#include <memory>

namespace pixtera {

class ServiceActions final : public OutsideActions {
public:
    // `events` outlives this object.
    ServiceActions(CommandActions::Limits commands, std::unique_ptr<LogindActions> logind, MenuEvents& events);

    void Start(int display, const MenuAction& action, ActionFinished finished) override;

private:
    MenuEvents& events_;
    std::unique_ptr<LogindActions> logind_;
    CommandActions commands_;
};

} // namespace pixtera
