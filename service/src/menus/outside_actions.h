// SPDX-License-Identifier: MIT
#pragma once
// What a menu entry starts outside its display: a program, a request to logind, an event for the
// MQTT bridge. They take their time and may be refused, so they finish later, on any thread;
// the display shows the failure for a few seconds and the menu goes on meanwhile.

#include <pixtera/menu_file.h>

#include <functional>
#include <string>

namespace pixtera {

// Called once per Start: empty when the action went well, else what the display shows
// ("Refused: not authorized", "Timed out after 10 s").
using ActionFinished = std::function<void(std::string failure)>;

class OutsideActions {
public:
    virtual ~OutsideActions() = default;
    // RunCommand, Lock, Suspend, PowerOff, Reboot and PublishEvent, for display `display` (its
    // index among the service's displays); other kinds finish at once with a failure.
    virtual void Start(int display, const MenuAction& action, ActionFinished finished) = 0;
};

} // namespace pixtera
