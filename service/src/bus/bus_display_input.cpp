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
    object.registerSignal("MenuEvent").onInterface(bus::kDisplayInput).withParameters<std::string>("event");
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

void BusServer::EmitMenuEvents()
{
    if (!menuEventsPending_.exchange(false))
        return;
    // Only a display with keys has a menu, and IDisplayInput with it.
    for (const MenuEvent& event : manager_.menuEvents().Take())
        if (const auto object = displays_.find(event.display); object != displays_.end())
            object->second->emitSignal("MenuEvent").onInterface(bus::kDisplayInput).withArguments(event.name);
}

} // namespace pixtera
