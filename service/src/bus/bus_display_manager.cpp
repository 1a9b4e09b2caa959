// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include "bus_replies.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

namespace pixtera {

using namespace reply;

void BusServer::ExportDisplayManager()
{
    auto object = sdbus::createObject(*connection_, bus::kDisplayManagerPath);
    IDisplayManager& displays = manager_.displays();
    guard_.Method(*object, "Count")
        .onInterface(bus::kDisplayManager)
        .withOutputParamNames("count")
        .implementedAs([&displays] { return Long([&](LONG* v) { return displays.Count(v); }); });
    guard_.Method(*object, "Item")
        .onInterface(bus::kDisplayManager)
        .withInputParamNames("index")
        .withOutputParamNames("display")
        .implementedAs([this, &displays](int32_t index) {
            ComPtr<IManagedDisplay> display;
            Check(displays.Item(index, display.Out()), [&] {
                LONG count = 0;
                displays.Count(&count);
                return IndexFailure("display", index, count);
            });
            return ExportDisplay(index);
        });
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

} // namespace pixtera
