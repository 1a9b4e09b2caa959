// SPDX-License-Identifier: MIT
#pragma once
// IPluginSettings from a table. Derived declares `static constexpr SettingDescription kSettings[]`
// with its keys, in the order a form should show them, and lists DescribedSettings<Derived> in
// its ComObject.

#include <pixtera/sdk/plugin_settings.h>

#include <iterator>
#include <string_view>

namespace pixtera {

struct SettingDescription {
    const char* name;
    const char* label;
    PluginSettingKind kind;
    const char* defaultValue;
    const char* help;
    LONG minimum = 0;
    LONG maximum = 0;
    const char* choices = "";
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
