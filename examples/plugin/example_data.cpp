// SPDX-License-Identifier: MIT
// Example.Data: a data provider with two items, "Example.Counter" (how often it was polled) and
// "Example.Greeting" (its configuration text, "greeting=Hello" by default).
//
// Every plug-in is a COM class in a shared object: the module exports DllGetClassObject,
// DllCanUnloadNow, DllRegisterServer and DllUnregisterServer (PIXTERA_SINGLE_CLASS_MODULE writes
// them), and `pixtera-reg register ExampleData.so` enters its CLSID and ProgID in the registry.
// Make your own CLSID with `uuidgen` and never reuse one.

#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/provided_value.h>

#include <array>
#include <atomic>
#include <mutex>
#include <string>

namespace {

using namespace pixtera;

// {9D5C2E71-4B8A-4F3D-A6E0-7C1B2D3E4F50}
constexpr CLSID CLSID_ExampleData{0x9D5C2E71, 0x4B8A, 0x4F3D, {0xA6, 0xE0, 0x7C, 0x1B, 0x2D, 0x3E, 0x4F, 0x50}};
const InprocClass kClass{CLSID_ExampleData, "Example.Data", "Example data provider"};

struct ExampleItem {
    const char* name;
    const char* description;
};
constexpr std::array<ExampleItem, 2> kItems{{
    {"Example.Counter", "Example\\Polls so far"},
    {"Example.Greeting", "Example\\The configured greeting"},
}};

class ExampleData final : public ComObject<ExampleData, IDataProvider, ConfigurablePlugin<ExampleData>> {
public:
    static constexpr const char16_t* kPluginName = u"Example data";

    // Called on the provider's poll thread every GetInterval ms (update mode 2, periodic); the
    // service copies the values after each poll, so displays never wait for the plug-in.
    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        ++polls_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Output(mode, kUpdatePeriodic); }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Output(interval, 1000); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override { return Output(count, kItems.size()); }
    // Item indexes run from 0 to GetCount() - 1.
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override
    {
        return ItemText(kItems, index, name, [](const ExampleItem& item) { return std::string(item.name); });
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        return ItemText(kItems, index, description,
                        [](const ExampleItem& item) { return std::string(item.description); });
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        if (index == 0) {
            value->vt = VT_I4;
            value->lVal = polls_;
            return S_OK;
        }
        if (index != 1)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        value->vt = VT_BSTR;
        value->bstrVal = BString(std::string_view(greeting_)).Detach();
        return S_OK;
    }

    // ConfigurablePlugin: the text of the driver's `configuration` attribute in pixtera2.xml.
    void Configured(const ConfigurationText& fields, const std::string&)
    {
        std::lock_guard lock(mutex_);
        greeting_ = fields.Text("greeting").value_or("Hello");
    }

private:
    std::atomic<LONG> polls_{0};
    std::mutex mutex_; // guards greeting_
    std::string greeting_ = "Hello";
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(ExampleData, kClass)
