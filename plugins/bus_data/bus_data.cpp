// SPDX-License-Identifier: MIT
// Pixtera.BusData: items whose values scripts set over the session bus, through the service's
// /org/pixtera/Feed. Configuration: names=weather,mail,build (descriptions Bus\weather, ...).
// A value set wakes the service's poll of it through the sink; only in a process of its own,
// where there is no sink, is the plug-in polled.

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/data_events.h>
#include <pixtera/sdk/data_feed.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/provided_value.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

using namespace pixtera;

// {C9A7240E-B43F-454F-B14A-B1DCA9D19A46}
constexpr CLSID CLSID_BusData{0xC9A7240E, 0xB43F, 0x454F, {0xB1, 0x4A, 0xB1, 0xDC, 0xA9, 0xD1, 0x9A, 0x46}};
const InprocClass kClass{CLSID_BusData, "Pixtera.BusData", "Bus data"};

constexpr LONG kPollInterval = 100; // without a sink, a pushed value reaches the displays this soon

bool ShowableType(VARTYPE type)
{
    switch (type) {
    case VT_I2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_R8:
    case VT_BSTR:
    case VT_BOOL: return true;
    default: return false;
    }
}

struct FedItem {
    std::string name;
    Variant value = Variant::FromText(u"");
};

class BusData final : public ComObject<BusData, IDataProvider, IDataFeed, IDataEvents, ConfigurablePlugin<BusData>,
                                       DescribedSettings<BusData>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"names", "Item names", kSettingText, "", "The items scripts may set, separated by commas"},
    };

    static constexpr const char16_t* kPluginName = u"Bus data";

    // IDataProvider
    HRESULT STDMETHODCALLTYPE Refresh() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override
    {
        std::lock_guard lock(mutex_);
        return Output(mode, sink_ ? kUpdateOnce : kUpdatePeriodic);
    }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Output(interval, kPollInterval); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override
    {
        std::lock_guard lock(mutex_);
        return Output(count, items_.size());
    }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override
    {
        return Text(index, name, [](const FedItem& item) { return item.name; });
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        return Text(index, description, [](const FedItem& item) { return "Bus\\" + item.name; });
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        std::lock_guard lock(mutex_);
        if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
            return E_INVALIDARG;
        return VariantCopy(value, &items_[static_cast<std::size_t>(index)].value);
    }

    // IDataFeed
    HRESULT STDMETHODCALLTYPE SetValue(BSTR name, VARIANT value) override
    {
        if (!ShowableType(value.vt))
            return DISP_E_TYPEMISMATCH;
        const std::string wanted = Utf16ToUtf8(BstrView(name));
        Variant copy;
        if (HRESULT hr = VariantCopy(&copy, &value); FAILED(hr))
            return hr;
        LONG index = 0;
        {
            std::lock_guard lock(mutex_);
            const auto item =
                std::find_if(items_.begin(), items_.end(), [&](const FedItem& i) { return i.name == wanted; });
            if (item == items_.end())
                return DISP_E_UNKNOWNNAME;
            item->value = std::move(copy);
            index = static_cast<LONG>(item - items_.begin());
        }
        Arrived(&index);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFeedNames(BSTR* names) override
    {
        if (!names)
            return E_POINTER;
        std::lock_guard lock(mutex_);
        std::string list;
        for (const auto& item : items_)
            list += (list.empty() ? "" : ",") + item.name;
        *names = BString(std::string_view(list)).Detach();
        return S_OK;
    }

    // IDataEvents
    HRESULT STDMETHODCALLTYPE Advise(IDataArrivalSink* sink) override
    {
        std::lock_guard lock(mutex_);
        sink_ = ComPtr<IDataArrivalSink>(sink);
        itemSink_ = sink_ ? sink_.As<IItemArrivalSink>() : ComPtr<IItemArrivalSink>();
        return S_OK;
    }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        std::vector<FedItem> items;
        for (const std::string& name : CommaList(fields.Text("names").value_or("")))
            if (std::none_of(items.begin(), items.end(), [&](const FedItem& i) { return i.name == name; }))
                items.push_back({name});
        if (items.empty())
            LogWarning("Bus data: no names in \"" + text + "\"; there are no items");
        {
            std::lock_guard lock(mutex_);
            items_ = std::move(items);
        }
        Arrived(nullptr); // other names: all of them read again
    }

private:
    // The one item set, or all (null).
    void Arrived(const LONG* item)
    {
        ComPtr<IDataArrivalSink> sink;
        ComPtr<IItemArrivalSink> itemSink;
        {
            std::lock_guard lock(mutex_);
            sink = sink_;
            itemSink = itemSink_;
        }
        if (item && itemSink)
            itemSink->ItemsArrived(1, item);
        else if (sink)
            sink->ValuesArrived();
    }

    template <class Field>
    HRESULT Text(LONG index, BSTR* out, Field field)
    {
        std::lock_guard lock(mutex_);
        return ItemText(items_, index, out, field);
    }

    std::mutex mutex_; // guards items_ and both sinks
    std::vector<FedItem> items_;
    ComPtr<IDataArrivalSink> sink_;
    ComPtr<IItemArrivalSink> itemSink_; // the same sink, where it takes the items that changed
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(BusData, kClass)
