// SPDX-License-Identifier: MIT
#include "command_batch.h"

#include "service_link.h"

namespace pixtera::bridge {

void CarryOut(std::deque<mqtt::Message>& commands, const CommandHandler& handle, const RefusalHandler& refused)
{
    for (; !commands.empty(); commands.pop_front()) {
        const mqtt::Message& command = commands.front();
        try {
            handle(command);
        } catch (const sdbus::Error& error) {
            if (ServiceAway(error))
                throw;
            refused(command, RefusalReason(error));
        } catch (const std::exception& error) {
            refused(command, error.what());
        }
    }
}

} // namespace pixtera::bridge
