// SPDX-License-Identifier: MIT
#pragma once
// The outside actions of a service that has none to offer: each is refused at once, and the
// display says so.

#include "outside_actions.h"

#include <string>

namespace pixtera {

class RefusingOutsideActions final : public OutsideActions {
public:
    void Start(int, const MenuAction& action, ActionFinished finished) override
    {
        finished("Not available: " + std::string(MenuActionName(action.kind)));
    }

    // One for every display manager given none.
    static OutsideActions& Instance()
    {
        static RefusingOutsideActions refusing;
        return refusing;
    }
};

} // namespace pixtera
