// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include "bus_replies.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

namespace pixtera {

using namespace reply;

void BusServer::ExportDriverManager()
{
    auto object = sdbus::createObject(*connection_, bus::kDriverManagerPath);
    IDriverManager& drivers = manager_.drivers();
    guard_.Method(*object, "AddDriver")
        .onInterface(bus::kDriverManager)
        .withInputParamNames("progId", "configuration", "isolated")
        .withOutputParamNames("created")
        .implementedAs([this, &drivers](const std::string& progId, const std::string& configuration, bool isolated) {
            VARIANT_BOOL created = 0;
            Check(drivers.AddDriver(BString(std::string_view(progId)).get(),
                                    BString(std::string_view(configuration)).get(), isolated ? 1 : 0, &created));
            if (created)
                ExportDriver(manager_.drivers().Size() - 1);
            return created != 0;
        });
    guard_.Method(*object, "Count")
        .onInterface(bus::kDriverManager)
        .withOutputParamNames("count")
        .implementedAs([&drivers] { return Long([&](LONG* v) { return drivers.Count(v); }); });
    guard_.Method(*object, "Item")
        .onInterface(bus::kDriverManager)
        .withInputParamNames("index")
        .withOutputParamNames("driver")
        .implementedAs([this, &drivers](int32_t index) {
            ComPtr<IDispatch> driver;
            Check(drivers.Item(index, driver.Out()), [&] {
                return index < 0 || index >= manager_.drivers().Size()
                           ? IndexFailure("driver", index, manager_.drivers().Size())
                           : std::string("the plug-in has no IDispatch; its object is ") + bus::DriverPath(index);
            });
            return ExportDriver(index);
        });
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

} // namespace pixtera
