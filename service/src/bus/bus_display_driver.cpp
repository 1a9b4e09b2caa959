// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include "bus_replies.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>
#include <pixtera/sdk/display_character_set.h>
#include <pixtera/sdk/plugin_info.h>

namespace pixtera {

using namespace reply;

sdbus::ObjectPath BusServer::ExportDriver(LONG index)
{
    const sdbus::ObjectPath path(bus::DriverPath(index));
    if (drivers_.count(index))
        return path;
    const auto record = manager_.drivers().At(index);
    if (!record)
        throw wire::ErrorFor(E_FAIL);
    const ComPtr<IUnknown> driver = record->object;
    const std::shared_ptr<PluginFault> fault = record->fault;
    auto object = sdbus::createObject(*connection_, path);
    // Every call asks the plug-in for the interface: an object without it answers E_NOINTERFACE.
    // The returned call runs `use` on the interface under the fault guard.
    auto display = [driver, fault](auto use) {
        return GuardedCall(*fault, [&] {
            HRESULT hr = S_OK;
            auto interface = driver.As<IDisplayDriver>(&hr);
            Check(hr);
            return use(*interface);
        });
    };
    auto info = [driver, fault](auto use) {
        return GuardedCall(*fault, [&] {
            HRESULT hr = S_OK;
            auto interface = driver.As<IPluginInfo>(&hr);
            Check(hr);
            return use(*interface);
        });
    };
    const char* const d = bus::kDisplayDriver;
    using Getter = HRESULT (STDMETHODCALLTYPE IDisplayDriver::*)(LONG*);
    for (const auto& [name, getter] :
         std::initializer_list<std::pair<const char*, Getter>>{{"GetColumns", &IDisplayDriver::GetColumns},
                                                               {"GetPixelHeight", &IDisplayDriver::GetPixelHeight},
                                                               {"GetPixelWidth", &IDisplayDriver::GetPixelWidth},
                                                               {"GetCharHeight", &IDisplayDriver::GetCharHeight},
                                                               {"GetCharWidth", &IDisplayDriver::GetCharWidth},
                                                               {"GetRows", &IDisplayDriver::GetRows},
                                                               {"LoaderQuery", &IDisplayDriver::LoaderQuery}}) {
        guard_.Method(*object, name)
            .onInterface(d)
            .withOutputParamNames("value")
            .implementedAs([display, getter = getter] {
                return display([&](IDisplayDriver& driverInterface) {
                    return Long([&](LONG* v) { return (driverInterface.*getter)(v); });
                });
            });
    }
    guard_.Method(*object, "SetBackground")
        .onInterface(d)
        .withInputParamNames("file")
        .implementedAs([display](const std::string& file) {
            const BString text(std::string_view{file});
            display([&](IDisplayDriver& driverInterface) { Check(driverInterface.SetBackground(text.get())); });
        });
    guard_.Method(*object, "SetCustomChar")
        .onInterface(d)
        .withInputParamNames("code", "rows")
        .implementedAs([display](int32_t code, const std::vector<uint8_t>& r) {
            if (r.size() != 8)
                throw wire::ErrorFor(E_INVALIDARG);
            display([&](IDisplayDriver& driverInterface) {
                Check(driverInterface.SetCustomChar(code, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]));
            });
        });
    guard_.Method(*object, "Write")
        .onInterface(d)
        .withInputParamNames("frame")
        .implementedAs([display](const std::string& frame) {
            const BString text(std::string_view{frame});
            display([&](IDisplayDriver& driverInterface) { Check(driverInterface.Write(text.get())); });
        });
    guard_.Method(*object, "GetRom")
        .onInterface(bus::kDisplayCharacterSet)
        .withOutputParamNames("rom")
        .implementedAs([driver, fault] {
            return GuardedCall(*fault, [&] {
                HRESULT hr = S_OK;
                auto characterSet = driver.As<IDisplayCharacterSet>(&hr);
                Check(hr);
                return Text([&](BSTR* v) { return characterSet->GetRom(v); });
            });
        });
    guard_.Method(*object, "GetPluginName")
        .onInterface(bus::kPluginInfo)
        .withOutputParamNames("name")
        .implementedAs(
            [info] { return info([](IPluginInfo& i) { return Text([&](BSTR* v) { return i.GetPluginName(v); }); }); });
    guard_.Method(*object, "GetConfiguration")
        .onInterface(bus::kPluginInfo)
        .withOutputParamNames("configuration")
        .implementedAs([info] {
            return info([](IPluginInfo& i) { return Text([&](BSTR* v) { return i.GetConfiguration(v); }); });
        });
    object->finishRegistration();
    drivers_[index] = std::move(object);
    return path;
}

} // namespace pixtera
