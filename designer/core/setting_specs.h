// SPDX-License-Identifier: MIT
#pragma once
// A plug-in's configuration keys as a form shows them, and the configuration text a filled form
// gives.

#include <pixtera/sdk/plugin_settings.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::designer {

struct SettingSpec {
    std::string name;
    std::string label;
    PluginSettingKind kind = kSettingText;
    std::string defaultValue;
    std::string help;
    LONG minimum = 0;
    LONG maximum = 0;
    std::vector<std::string> choices;
};

// The plug-in's keys; none when it has no IPluginSettings or a call fails.
std::optional<std::vector<SettingSpec>> ReadSettingSpecs(IUnknown& plugin);

// The values a form starts with: the configuration's, else the defaults.
std::map<std::string, std::string> InitialValues(const std::vector<SettingSpec>& specs,
                                                 const std::string& configuration);

// The configuration text for the values, keeping fields the form does not know from `previous`;
// none, with `error` saying which value and why, when a value is not allowed. A value `previous`
// had is kept as it is; an empty value is allowed for keys without a default, unless `required`
// (a plug-in that cannot work unconfigured), where only integers may stay empty.
std::optional<std::string> ComposeConfiguration(const std::vector<SettingSpec>& specs,
                                                const std::map<std::string, std::string>& values,
                                                const std::string& previous, std::string* error, bool required = false);

} // namespace pixtera::designer
