// SPDX-License-Identifier: MIT
#pragma once
// IPluginSettings: optional. A plug-in configured by a "name=value;..." text describes its keys,
// so that the designer can show a form for them: plug-ins have no window of their own.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

enum PluginSettingKind : LONG {
    kSettingInteger = 0, // a whole number within [minimum, maximum]
    kSettingText = 1,
    kSettingChoice = 2, // one of `choices`, separated by '|'
    kSettingFile = 3, // a path
    kSettingFlag = 4, // `choices` holds the texts for on and off: "yes|no", "on|off"
};

struct IPluginSettings : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSettingCount(LONG* count) = 0;
    // Key `index` (from 0): its name in the text, a label for people, its kind, the value used
    // when the text has none, one line of help, the range of an integer and the choices.
    virtual HRESULT STDMETHODCALLTYPE GetSetting(LONG index, BSTR* name, BSTR* label, LONG* kind, BSTR* defaultValue,
                                                 BSTR* help, LONG* minimum, LONG* maximum, BSTR* choices) = 0;
};
PIXTERA_DECLARE_INTERFACE(IPluginSettings, IUnknown, IID_IPluginSettings);
