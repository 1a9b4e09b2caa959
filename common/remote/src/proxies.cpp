// SPDX-License-Identifier: MIT
#include "proxies.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/sdk/display_character_set.h>
#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/out_parameter.h>

#include <vector>

namespace pixtera::remote {
namespace {

std::string Utf8(BSTR text) { return Utf16ToUtf8(BstrView(text)); }

// IDisplayCharacterSet is always answered: GetRom fails with E_NOINTERFACE when the service's
// driver has none.
class DriverProxy final : public ComObject<DriverProxy, IDisplayDriver, IPluginInfo, IDisplayCharacterSet,
                                           DispatchNotImplemented<IDispatch>>,
                          private RemoteObject {
public:
    DriverProxy(std::shared_ptr<RemoteSession> session, std::string path)
        : RemoteObject(std::move(session), std::move(path))
    {
    }

    HRESULT STDMETHODCALLTYPE GetColumns(LONG* v) override { return FetchLong(bus::kDisplayDriver, "GetColumns", v); }
    HRESULT STDMETHODCALLTYPE GetPixelHeight(LONG* v) override
    {
        return FetchLong(bus::kDisplayDriver, "GetPixelHeight", v);
    }
    HRESULT STDMETHODCALLTYPE GetPixelWidth(LONG* v) override
    {
        return FetchLong(bus::kDisplayDriver, "GetPixelWidth", v);
    }
    HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* v) override
    {
        return FetchLong(bus::kDisplayDriver, "GetCharHeight", v);
    }
    HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* v) override
    {
        return FetchLong(bus::kDisplayDriver, "GetCharWidth", v);
    }
    HRESULT STDMETHODCALLTYPE GetRows(LONG* v) override { return FetchLong(bus::kDisplayDriver, "GetRows", v); }
    HRESULT STDMETHODCALLTYPE SetBackground(BSTR file) override
    {
        return Send(bus::kDisplayDriver, "SetBackground", Utf8(file));
    }
    HRESULT STDMETHODCALLTYPE Reserved() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG code, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE r4, BYTE r5, BYTE r6,
                                            BYTE r7) override
    {
        return Send(bus::kDisplayDriver, "SetCustomChar", int32_t{code},
                    std::vector<uint8_t>{r0, r1, r2, r3, r4, r5, r6, r7});
    }
    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override { return Send(bus::kDisplayDriver, "Write", Utf8(frame)); }
    HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* v) override { return FetchLong(bus::kDisplayDriver, "LoaderQuery", v); }

    HRESULT STDMETHODCALLTYPE EditConfiguration(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPluginName(BSTR* name) override
    {
        return FetchText(bus::kPluginInfo, "GetPluginName", name);
    }
    HRESULT STDMETHODCALLTYPE GetConfiguration(BSTR* text) override
    {
        return FetchText(bus::kPluginInfo, "GetConfiguration", text);
    }
    HRESULT STDMETHODCALLTYPE Configure(BSTR) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetRom(BSTR* rom) override { return FetchText(bus::kDisplayCharacterSet, "GetRom", rom); }
};

// IDisplayLeds is always answered: a display whose driver has none has no LEDs (a count of 0).
// IDisplayLinkState reads the display's Linked and OutageSince, as the service last asked its driver.
class ManagedDisplayProxy final : public ComObject<ManagedDisplayProxy, DispatchNotImplemented<IManagedDisplay>,
                                                   IDisplayLease, IDisplayLeds, IDisplayLinkState>,
                                  private RemoteObject {
public:
    ManagedDisplayProxy(std::shared_ptr<RemoteSession> session, std::string path)
        : RemoteObject(std::move(session), std::move(path))
    {
    }

    HRESULT STDMETHODCALLTYPE GetDriver(IDisplayDriver** driver) override
    {
        return FetchObject<DriverProxy>(bus::kManagedDisplay, "GetDriver", driver);
    }
    HRESULT STDMETHODCALLTYPE Reserved(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsRunning(VARIANT_BOOL* running) override
    {
        return FetchFlag(bus::kManagedDisplay, "IsRunning", running);
    }
    HRESULT STDMETHODCALLTYPE StartOutput() override { return Send(bus::kManagedDisplay, "StartOutput"); }
    HRESULT STDMETHODCALLTYPE StopOutput() override { return Send(bus::kManagedDisplay, "StopOutput"); }
    HRESULT STDMETHODCALLTYPE QueueCount(LONG* count) override
    {
        return FetchLong(bus::kManagedDisplay, "QueueCount", count);
    }
    HRESULT STDMETHODCALLTYPE AddQueueItem(BSTR file, LONG seconds) override
    {
        return Send(bus::kManagedDisplay, "AddQueueItem", Utf8(file), int32_t{seconds});
    }
    HRESULT STDMETHODCALLTYPE QueueFile(LONG index, BSTR* file) override
    {
        return FetchText(bus::kManagedDisplay, "QueueFile", file, int32_t{index});
    }
    HRESULT STDMETHODCALLTYPE QueueDuration(LONG index, LONG* seconds) override
    {
        return FetchLong(bus::kManagedDisplay, "QueueDuration", seconds, int32_t{index});
    }
    HRESULT STDMETHODCALLTYPE SetQueueDuration(LONG index, LONG seconds) override
    {
        return Send(bus::kManagedDisplay, "SetQueueDuration", int32_t{index}, int32_t{seconds});
    }
    HRESULT STDMETHODCALLTYPE DeleteQueueItem(LONG index) override
    {
        return Send(bus::kManagedDisplay, "DeleteQueueItem", int32_t{index});
    }
    HRESULT STDMETHODCALLTYPE MoveQueueItemUp(LONG index) override
    {
        return Send(bus::kManagedDisplay, "MoveQueueItemUp", int32_t{index});
    }
    HRESULT STDMETHODCALLTYPE MoveQueueItemDown(LONG index) override
    {
        return Send(bus::kManagedDisplay, "MoveQueueItemDown", int32_t{index});
    }

    HRESULT STDMETHODCALLTYPE GetLinkState(VARIANT_BOOL* linked, LONGLONG* outageSince) override
    {
        if (!linked || !outageSince)
            return E_POINTER;
        sdbus::Variant up;
        sdbus::Variant since;
        const char* const properties = "org.freedesktop.DBus.Properties";
        const std::string interface = bus::kManagedDisplay;
        HRESULT hr = Remote([&] {
            session_->Call(path_, properties, "Get", std::tie(up), interface, std::string("Linked"));
            session_->Call(path_, properties, "Get", std::tie(since), interface, std::string("OutageSince"));
        });
        if (FAILED(hr))
            return hr;
        hr = Remote([&] {
            *linked = up.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
            *outageSince = *linked ? 0 : since.get<std::int64_t>();
        });
        return hr;
    }

    HRESULT STDMETHODCALLTYPE BorrowOutput() override { return Send(bus::kDisplayLease, "BorrowOutput"); }
    HRESULT STDMETHODCALLTYPE ReturnOutput() override { return Send(bus::kDisplayLease, "ReturnOutput"); }

    HRESULT STDMETHODCALLTYPE GetLedCount(LONG* count) override
    {
        std::vector<Led> leds;
        const HRESULT hr = ReadLeds(leds);
        return FAILED(hr) ? hr : Output(count, static_cast<LONG>(leds.size()));
    }
    HRESULT STDMETHODCALLTYPE GetLedStates(LONG index, LONG* states) override
    {
        return WithLed(index, [&](const Led& led) {
            LONG mask = 0;
            for (const auto& name : led.get<1>())
                if (const auto state = ParseLedState(name))
                    mask |= 1 << *state;
            return Output(states, mask);
        });
    }
    HRESULT STDMETHODCALLTYPE GetLed(LONG index, LONG* state) override
    {
        return WithLed(index, [&](const Led& led) {
            const auto known = ParseLedState(led.get<0>());
            return known ? Output(state, *known) : E_UNEXPECTED;
        });
    }
    HRESULT STDMETHODCALLTYPE SetLed(LONG index, LONG state) override
    {
        const std::string_view name = LedStateName(state);
        if (index < 0 || name.empty())
            return E_INVALIDARG;
        return Send(bus::kDisplayLeds, "SetLed", static_cast<std::uint32_t>(index), std::string(name));
    }

private:
    using Led = sdbus::Struct<std::string, std::vector<std::string>>;

    // None from a display without LEDs: the service leaves the interface off its object.
    HRESULT ReadLeds(std::vector<Led>& leds)
    {
        sdbus::Variant value;
        try {
            session_->Call(path_, "org.freedesktop.DBus.Properties", "Get", std::tie(value),
                           std::string(bus::kDisplayLeds), std::string("Leds"));
            leds = value.get<std::vector<Led>>();
            return S_OK;
        } catch (const sdbus::Error& error) {
            const std::string& name = error.getName();
            if (name == "org.freedesktop.DBus.Error.UnknownInterface" ||
                name == "org.freedesktop.DBus.Error.UnknownProperty")
                return S_OK;
            return Remote([&] { throw error; });
        }
    }
    template <class Read>
    HRESULT WithLed(LONG index, Read read)
    {
        std::vector<Led> leds;
        if (const HRESULT hr = ReadLeds(leds); FAILED(hr))
            return hr;
        if (index < 0 || static_cast<std::size_t>(index) >= leds.size())
            return E_INVALIDARG;
        return read(leds[static_cast<std::size_t>(index)]);
    }
};

class DisplayManagerProxy final : public ComObject<DisplayManagerProxy, DispatchNotImplemented<IDisplayManager>>,
                                  private RemoteObject {
public:
    DisplayManagerProxy(std::shared_ptr<RemoteSession> session, std::string path)
        : RemoteObject(std::move(session), std::move(path))
    {
    }
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override { return FetchLong(bus::kDisplayManager, "Count", count); }
    HRESULT STDMETHODCALLTYPE Item(LONG index, IManagedDisplay** display) override
    {
        return FetchObject<ManagedDisplayProxy>(bus::kDisplayManager, "Item", display, int32_t{index});
    }
};

class DataManagerProxy final
    : public ComObject<DataManagerProxy, DispatchNotImplemented<IDataManager>, DispatchNotImplemented<IDataCollection>>,
      private RemoteObject {
public:
    DataManagerProxy(std::shared_ptr<RemoteSession> session, std::string path)
        : RemoteObject(std::move(session), std::move(path))
    {
    }
    HRESULT STDMETHODCALLTYPE GetDataCollection(IDataCollection** collection) override
    {
        return FetchObject<DataManagerProxy>(bus::kDataManager, "GetDataCollection", collection);
    }
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override { return FetchLong(bus::kDataCollection, "Count", count); }
    HRESULT STDMETHODCALLTYPE Value(VARIANT key, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        sdbus::Variant result;
        const HRESULT hr =
            Remote([&] { session_->Call(path_, bus::kDataCollection, "Value", std::tie(result), wire::ToBus(key)); });
        return FAILED(hr) ? hr : wire::FromBus(result, value);
    }
    HRESULT STDMETHODCALLTYPE Name(LONG id, BSTR* name) override
    {
        return FetchText(bus::kDataCollection, "Name", name, int32_t{id});
    }
    HRESULT STDMETHODCALLTYPE Description(LONG id, BSTR* description) override
    {
        return FetchText(bus::kDataCollection, "Description", description, int32_t{id});
    }
};

class DriverManagerProxy final : public ComObject<DriverManagerProxy, DispatchNotImplemented<IDriverManager>>,
                                 private RemoteObject {
public:
    DriverManagerProxy(std::shared_ptr<RemoteSession> session, std::string path)
        : RemoteObject(std::move(session), std::move(path))
    {
    }
    HRESULT STDMETHODCALLTYPE AddDriver(BSTR progId, BSTR configuration, VARIANT_BOOL isolated,
                                        VARIANT_BOOL* created) override
    {
        return FetchFlag(bus::kDriverManager, "AddDriver", created, Utf8(progId), Utf8(configuration), isolated != 0);
    }
    HRESULT STDMETHODCALLTYPE Reserved(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override { return FetchLong(bus::kDriverManager, "Count", count); }
    HRESULT STDMETHODCALLTYPE Item(LONG index, IDispatch** driver) override
    {
        return FetchObject<DriverProxy>(bus::kDriverManager, "Item", driver, int32_t{index});
    }
};

class ManagerProxy final : public ComObject<ManagerProxy, DispatchNotImplemented<IManager>>, private RemoteObject {
public:
    ManagerProxy(std::shared_ptr<RemoteSession> session, std::string path)
        : RemoteObject(std::move(session), std::move(path))
    {
    }

    HRESULT STDMETHODCALLTYPE GetDriverManager(IDriverManager** drivers) override
    {
        return FetchObject<DriverManagerProxy>(bus::kManager, "GetDriverManager", drivers);
    }
    HRESULT STDMETHODCALLTYPE GetDataManager(IDataManager** data) override
    {
        return FetchObject<DataManagerProxy>(bus::kManager, "GetDataManager", data);
    }
    HRESULT STDMETHODCALLTYPE LoadConfiguration(BSTR path, VARIANT_BOOL* completed) override
    {
        VARIANT_BOOL ignored = 0;
        return FetchFlag(bus::kManager, "LoadConfiguration", completed ? completed : &ignored, Utf8(path));
    }
    HRESULT STDMETHODCALLTYPE Reserved(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Shutdown() override { return Send(bus::kManager, "Shutdown"); }
    HRESULT STDMETHODCALLTYPE GetDisplayManager(IDisplayManager** displays) override
    {
        return FetchObject<DisplayManagerProxy>(bus::kManager, "GetDisplayManager", displays);
    }
};

} // namespace

HRESULT ManagerClassFactoryProxy::CreateInstance(IUnknown* outer, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    std::shared_ptr<RemoteSession> session;
    if (HRESULT hr = RemoteSession::Open(session); FAILED(hr))
        return hr;
    return MakeComObject<ManagerProxy>(std::move(session), bus::kManagerPath)->QueryInterface(riid, object);
}

} // namespace pixtera::remote
