// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include "bus_replies.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

namespace pixtera {

using namespace reply;

namespace {

std::string IdFailure(IDataCollection& data, int32_t id)
{
    LONG count = 0;
    data.Count(&count);
    if (count == 0)
        return "no data item with id " + std::to_string(id) + " (there are no data items)";
    return "no data item with id " + std::to_string(id) + " (ids are 1 to " + std::to_string(count) + ")";
}

// More names in one call than any design shows: reading them all would hold up every other client.
constexpr std::size_t kMaxNamesPerCall = 65536;

void CheckNameCount(const std::vector<std::string>& names)
{
    if (names.size() > kMaxNamesPerCall)
        throw wire::ErrorFor(E_INVALIDARG, "at most " + std::to_string(kMaxNamesPerCall) + " names in one call; got " +
                                               std::to_string(names.size()));
}

} // namespace

void BusServer::ExportDataManager()
{
    auto object = sdbus::createObject(*connection_, bus::kDataManagerPath);
    dataObject_ = object.get();
    IDataCollection& data = manager_.data();
    object->registerSignal("ValuesChanged")
        .onInterface(bus::kDataCollection)
        .withParameters<std::vector<int32_t>>("ids");
    guard_.Method(*object, "GetDataCollection")
        .onInterface(bus::kDataManager)
        .withOutputParamNames("collection")
        .implementedAs([] { return sdbus::ObjectPath(bus::kDataManagerPath); });
    guard_.Method(*object, "Count")
        .onInterface(bus::kDataCollection)
        .withOutputParamNames("count")
        .implementedAs([&data] { return Long([&](LONG* v) { return data.Count(v); }); });
    guard_.Method(*object, "Value")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("key")
        .withOutputParamNames("value")
        .implementedAs([&data](const sdbus::Variant& key) {
            Variant comKey;
            // A key of a type with no VARIANT form is a key of another type: E_FAIL.
            if (FAILED(wire::FromBus(key, comKey.Out())) || (comKey.vt != VT_BSTR && comKey.vt != VT_I2))
                throw wire::ErrorFor(E_FAIL, "Value takes a name (s) or an id (n); got " + key.peekValueType());
            Variant value;
            Check(data.Value(comKey, value.Out()));
            return wire::ToBus(value);
        });
    // One round trip for all the values a client shows, and which of them it must read every time.
    guard_.Method(*object, "Values")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("names")
        .withOutputParamNames("values")
        .implementedAs([this](const std::vector<std::string>& names) {
            CheckNameCount(names);
            std::vector<sdbus::Variant> values;
            values.reserve(names.size());
            for (const auto& name : names) {
                Variant value;
                if (FAILED(manager_.data().ReadValue(Utf8ToUtf16(name), value.Out())))
                    value = Variant::FromText(u"Error");
                values.push_back(wire::ToBus(value));
            }
            return values;
        });
    guard_.Method(*object, "Volatile")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("names")
        .withOutputParamNames("volatile")
        .implementedAs([this](const std::vector<std::string>& names) {
            CheckNameCount(names);
            std::vector<bool> result;
            for (const auto& name : names)
                result.push_back(manager_.data().HowValueChanges(Utf8ToUtf16(name)) == ValueSource::Changes::AnyTime);
            return result;
        });
    guard_.Method(*object, "Name")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("id")
        .withOutputParamNames("name")
        .implementedAs([&data](int32_t id) {
            return Text([&](BSTR* v) { return data.Name(id, v); }, [&] { return IdFailure(data, id); });
        });
    guard_.Method(*object, "Description")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("id")
        .withOutputParamNames("description")
        .implementedAs([&data](int32_t id) {
            return Text([&](BSTR* v) { return data.Description(id, v); }, [&] { return IdFailure(data, id); });
        });
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

} // namespace pixtera
