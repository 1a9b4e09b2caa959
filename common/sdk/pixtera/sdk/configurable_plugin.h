// SPDX-License-Identifier: MIT
#pragma once
// IPluginInfo for plug-ins configured by a "name=value;..." text: it keeps the text, hands it to
// the plug-in, names the plug-in and accepts configuration without asking (there is no window to
// ask in). Derived declares `static constexpr const char16_t* kPluginName` and
// `void Configured(const ConfigurationText& fields, const std::string& text)`.

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com.h>
#include <pixtera/sdk/configuration_text.h>
#include <pixtera/sdk/out_parameter.h>
#include <pixtera/sdk/plugin_info.h>

#include <mutex>
#include <string>

namespace pixtera {

// The part of IPluginInfo every shipped plug-in answers alike: its name, and a configuration
// accepted without asking (there is no window to ask in).
template <class Derived>
class NamedPlugin : public IPluginInfo {
public:
    HRESULT STDMETHODCALLTYPE EditConfiguration(VARIANT_BOOL* accepted) override
    {
        return Output(accepted, VARIANT_TRUE);
    }
    HRESULT STDMETHODCALLTYPE GetPluginName(BSTR* name) override
    {
        if (!name)
            return E_POINTER;
        *name = SysAllocString(Derived::kPluginName);
        return S_OK;
    }
};

// A plug-in without settings: an empty configuration, and any text it is given ignored.
template <class Derived>
class SettingsFreePlugin : public NamedPlugin<Derived> {
public:
    HRESULT STDMETHODCALLTYPE GetConfiguration(BSTR* configuration) override
    {
        if (!configuration)
            return E_POINTER;
        *configuration = SysAllocStringLen(nullptr, 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Configure(BSTR) override { return S_OK; }
};

template <class Derived>
class ConfigurablePlugin : public NamedPlugin<Derived> {
public:
    HRESULT STDMETHODCALLTYPE GetConfiguration(BSTR* configuration) override
    {
        if (!configuration)
            return E_POINTER;
        std::lock_guard lock(mutex_);
        *configuration = BString(configuration_).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Configure(BSTR configuration) override
    {
        const std::string text = Utf16ToUtf8(BstrView(configuration));
        {
            std::lock_guard lock(mutex_);
            configuration_ = text;
        }
        static_cast<Derived*>(this)->Configured(ConfigurationText(text), text);
        return S_OK;
    }

private:
    std::mutex mutex_; // guards configuration_
    std::string configuration_;
};

} // namespace pixtera

// Listed in ComObject in place of IPluginInfo.
template <class Derived>
struct InterfaceTraits<pixtera::ConfigurablePlugin<Derived>> : InterfaceTraits<IPluginInfo> {
};
template <class Derived>
struct InterfaceTraits<pixtera::SettingsFreePlugin<Derived>> : InterfaceTraits<IPluginInfo> {
};
