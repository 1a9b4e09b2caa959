// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

namespace pixtera {
namespace {

using wire::Check;

} // namespace

void BusServer::ExportManager()
{
    auto object = sdbus::createObject(*connection_, bus::kManagerPath);
    managerObject_ = object.get();
    IManager& manager = manager_;
    guard_.Method(*object, "GetDriverManager")
        .onInterface(bus::kManager)
        .withOutputParamNames("drivers")
        .implementedAs([] { return sdbus::ObjectPath(bus::kDriverManagerPath); });
    guard_.Method(*object, "GetDataManager").onInterface(bus::kManager).withOutputParamNames("data").implementedAs([] {
        return sdbus::ObjectPath(bus::kDataManagerPath);
    });
    guard_.Method(*object, "LoadConfiguration")
        .onInterface(bus::kManager)
        .withInputParamNames("path")
        .withOutputParamNames("completed")
        .implementedAs([this, &manager](const std::string& path) {
            VARIANT_BOOL completed = 0;
            Check(manager.LoadConfiguration(BString(std::string_view(path)).get(), &completed));
            ExportAll(); // the load may have made new drivers and displays
            return completed != 0;
        });
    guard_.Method(*object, "Shutdown").onInterface(bus::kManager).implementedAs([&manager] {
        Check(manager.Shutdown());
    });
    // The designer's Power dialog wrote the user's power policy: it applies from now on.
    guard_.Method(*object, "ReloadPowerPolicy").onInterface(bus::kManager).implementedAs([this] {
        if (PowerPolicy* power = manager_.power())
            power->Reload(ReadPowerSettings());
    });
    guard_.Method(*object, "GetDisplayManager")
        .onInterface(bus::kManager)
        .withOutputParamNames("displays")
        .implementedAs([] { return sdbus::ObjectPath(bus::kDisplayManagerPath); });
    ExportLifetime(*object);
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

} // namespace pixtera
