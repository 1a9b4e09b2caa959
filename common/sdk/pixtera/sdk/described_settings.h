// SPDX-License-Identifier: MIT
#pragma once
// IPluginSettings from a table. Derived declares `static constexpr SettingDescription kSettings[]`
// with its keys, in the order a form should show them (or a reference to a table it shares), and
// lists DescribedSettings<Derived> in its ComObject.

#include <pixtera/sdk/plugin_settings.h>

#include <iterator>
#include <string_view>

namespace pixtera {

// How a setting names the module a driver drives (its bus and address, its device, its host and
// port). Two configurations of one driver whose place settings agree drive the same module, so
// that detection never adds a second driver for it; each value is compared as the driver reads it.
enum class SettingPlace {
    None, // not part of the place
    // A number: an integer setting in decimal, any other also in 0x hexadecimal; within
    // [minimum, maximum] when they differ. A value that is no such number counts as the default.
    Number,
    Host, // a host name or address; localhost is 127.0.0.1
    Device, // a device path; links and relative steps resolved
    Word, // a word, compared as written (a USB adapter and its serial number)
};

struct SettingDescription {
    const char* name;
    const char* label;
    PluginSettingKind kind;
    const char* defaultValue;
    const char* help;
    LONG minimum = 0;
    LONG maximum = 0;
    const char* choices = "";
    SettingPlace place = SettingPlace::None;
};

template <class Derived>
class DescribedSettings : public IPluginSettings {
public:
    HRESULT STDMETHODCALLTYPE GetSettingCount(LONG* count) override
    {
        if (!count)
            return E_POINTER;
        *count = static_cast<LONG>(std::size(Derived::kSettings));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetSetting(LONG index, BSTR* name, BSTR* label, LONG* kind, BSTR* defaultValue,
                                         BSTR* help, LONG* minimum, LONG* maximum, BSTR* choices) override
    {
        if (!name || !label || !kind || !defaultValue || !help || !minimum || !maximum || !choices)
            return E_POINTER;
        *name = *label = *defaultValue = *help = *choices = nullptr;
        if (index < 0 || static_cast<std::size_t>(index) >= std::size(Derived::kSettings))
            return E_INVALIDARG;
        const SettingDescription& setting = Derived::kSettings[index];
        *name = BString(std::string_view(setting.name)).Detach();
        *label = BString(std::string_view(setting.label)).Detach();
        *defaultValue = BString(std::string_view(setting.defaultValue)).Detach();
        *help = BString(std::string_view(setting.help)).Detach();
        *choices = BString(std::string_view(setting.choices)).Detach();
        *kind = setting.kind;
        *minimum = setting.minimum;
        *maximum = setting.maximum;
        return S_OK;
    }
};

} // namespace pixtera

// Listed in ComObject in place of IPluginSettings.
template <class Derived>
struct InterfaceTraits<pixtera::DescribedSettings<Derived>> : InterfaceTraits<IPluginSettings> {
};
