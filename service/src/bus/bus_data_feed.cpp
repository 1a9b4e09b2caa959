// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include "bus_replies.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>
#include <pixtera/sdk/data_feed.h>

namespace pixtera {

using namespace reply;

namespace {

// A fed text is copied at every poll of its provider and composed into frames: longer than any
// display could show, it is refused.
constexpr std::size_t kMaxFedText = 4096;

} // namespace

void BusServer::ExportFeed()
{
    auto object = sdbus::createObject(*connection_, bus::kFeedPath);
    guard_.Method(*object, "SetValue")
        .onInterface(bus::kDataFeed)
        .withInputParamNames("name", "value")
        .implementedAs([this](const std::string& name, const sdbus::Variant& value) { Feed(name, value); });
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

void BusServer::Feed(const std::string& name, const sdbus::Variant& value)
{
    if (value.peekValueType() == "s") {
        const std::size_t bytes = value.get<std::string>().size();
        if (bytes > kMaxFedText)
            throw wire::ErrorFor(E_INVALIDARG, "a text fed is at most " + std::to_string(kMaxFedText) + " bytes; got " +
                                                   std::to_string(bytes));
    }
    Variant comValue;
    const HRESULT converted = wire::FromBus(value, comValue.Out());
    std::vector<std::string> names;
    const BString wanted(std::string_view{name});
    for (LONG n = 0; n < manager_.drivers().Size(); ++n) {
        const auto record = manager_.drivers().At(n);
        if (!record || record->fault->failed())
            continue;
        const HRESULT hr = GuardedCall(*record->fault, [&]() -> HRESULT {
            const auto feed = record->object.As<IDataFeed>();
            if (!feed)
                return E_NOINTERFACE;
            if (FAILED(converted))
                return DISP_E_TYPEMISMATCH;
            const HRESULT stored = feed->SetValue(wanted.get(), comValue);
            if (stored == DISP_E_UNKNOWNNAME) {
                BString list;
                if (SUCCEEDED(feed->GetFeedNames(list.Out())) && !list.view().empty())
                    names.push_back(list.utf8());
            }
            return stored;
        });
        if (SUCCEEDED(hr))
            return;
        if (hr == DISP_E_TYPEMISMATCH)
            throw wire::ErrorFor(hr, "SetValue takes a number (n, i, u, x, d), a text (s) or a flag (b); got " +
                                         value.peekValueType());
        if (hr != E_NOINTERFACE && hr != DISP_E_UNKNOWNNAME)
            Check(hr);
    }
    std::string known;
    for (const auto& list : names)
        known += (known.empty() ? "" : ",") + list;
    throw wire::ErrorFor(E_INVALIDARG, known.empty() ? "no item can be set: configure Pixtera.BusData with names=..."
                                                     : "no item " + name + " can be set; the names are " + known);
}

} // namespace pixtera
