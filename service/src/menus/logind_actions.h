// SPDX-License-Identifier: MIT
#pragma once
// Locking the session, suspending, powering off and rebooting, asked of logind over the system
// bus as any program of the user's session asks: polkit decides, possibly asking the user
// (interactive), never sudo or setuid. Each call is asynchronous and finishes on the connection's
// thread; a refusal finishes with a short reason a display of 20 columns shows whole.

#include "outside_actions.h"

#include <pixtera/bus/handler_guard.h>

#include <sdbus-c++/sdbus-c++.h>

#include <chrono>
#include <memory>
#include <string>

namespace pixtera {

class LogindActions {
public:
    // On the system bus; without one (said in the log), every action finishes with "No system bus".
    static std::unique_ptr<LogindActions> Connect();

    // `connection` may be null: there is no system bus.
    explicit LogindActions(std::unique_ptr<sdbus::IConnection> connection);
    LogindActions(const LogindActions&) = delete;
    LogindActions& operator=(const LogindActions&) = delete;
    // Calls still waiting for logind are dropped, their `finished` never called.
    ~LogindActions();

    // Lock, Suspend, PowerOff or Reboot; any other kind finishes at once with a failure.
    void Start(MenuActionKind kind, ActionFinished finished);

    // Long enough for a user to answer polkit's question.
    static constexpr std::chrono::seconds kAnswerTime{120};

private:
    bus::HandlerGuard guard_{"Menus' requests to logind"};
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IProxy> manager_;
};

// What a display shows of logind's refusal, in at most 20 columns.
std::string LogindRefusal(const std::string& errorName);

} // namespace pixtera
