// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/sdk/key_names.h>

namespace pixtera {

void BusServer::ExportInput(sdbus::IObject& object, LONG index)
{
    const auto displays = manager_.displays().Displays();
    if (index < 0 || static_cast<std::size_t>(index) >= displays.size() ||
        !displays[static_cast<std::size_t>(index)]->hasKeys())
        return;
    object.registerSignal("KeyPressed").onInterface(bus::kDisplayInput).withParameters<std::string>("key");
}

void BusServer::EmitKeys()
{
    if (!keysPending_.exchange(false))
        return;
    for (const KeyPress& press : keys_->Take()) {
        if (press.action == kKeyReleased)
            continue;
        if (const auto object = displays_.find(press.display); object != displays_.end())
            object->second->emitSignal("KeyPressed").onInterface(bus::kDisplayInput).withArguments(KeyName(press.key));
    }
}

} // namespace pixtera
