// SPDX-License-Identifier: MIT
#pragma once
// The commands taken from the queue, one after another. A command that is ill-formed, or that the
// service refuses (it answered with an error: a display without a backlight to switch), is one
// log line with the reason, and the next command goes on. Only an outage (the service is not on
// the bus or does not answer) ends the batch: its sdbus::Error goes on to the caller, which
// tries again later, and the command it struck stays in `commands` with those after it.

#include <pixtera/mqtt/mqtt_connection.h>

#include <deque>
#include <functional>
#include <string>

namespace pixtera::bridge {

using CommandHandler = std::function<void(const mqtt::Message&)>;
using RefusalHandler = std::function<void(const mqtt::Message&, const std::string& why)>;

void CarryOut(std::deque<mqtt::Message>& commands, const CommandHandler& handle, const RefusalHandler& refused);

} // namespace pixtera::bridge
