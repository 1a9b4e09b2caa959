// SPDX-License-Identifier: MIT
#include "setting_specs.h"

#include <pixtera/sdk/configuration_text.h>

#include <algorithm>
#include <charconv>

namespace pixtera::designer {
namespace {

std::vector<std::string> SplitChoices(std::string_view text)
{
    std::vector<std::string> parts;
    while (!text.empty()) {
        const auto bar = text.find('|');
        parts.emplace_back(text.substr(0, bar));
        if (bar == std::string_view::npos)
            break;
        text.remove_prefix(bar + 1);
    }
    return parts;
}

// `kept`: the value the configuration had, which stays acceptable as it is (a choice the plug-in's
// list does not know, written by hand or by a newer version). `required`: an empty value is only
// allowed where the key has a default.
std::optional<std::string> Problem(const SettingSpec& spec, const std::string& value,
                                   const std::optional<std::string>& kept, bool required)
{
    if (value.find_first_of(";=") != std::string::npos)
        return spec.label + ": ';' and '=' cannot be part of a value";
    if (value.empty() && spec.defaultValue.empty()) {
        // An integer left empty is left to the module; any other key must be set when the
        // plug-in cannot work without its configuration.
        if (required && spec.kind != kSettingInteger)
            return spec.label + " (" + spec.name + ") must be set";
        return std::nullopt;
    }
    if (kept && value == *kept)
        return std::nullopt;
    switch (spec.kind) {
    case kSettingInteger: {
        LONG number = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || ec != std::errc() || end != value.data() + value.size() || number < spec.minimum ||
            number > spec.maximum)
            return spec.label + ": a whole number from " + std::to_string(spec.minimum) + " to " +
                   std::to_string(spec.maximum);
        return std::nullopt;
    }
    case kSettingChoice:
    case kSettingFlag:
        if (std::find(spec.choices.begin(), spec.choices.end(), value) == spec.choices.end())
            return spec.label + ": not one of the choices";
        return std::nullopt;
    default: return std::nullopt;
    }
}

} // namespace

std::optional<std::vector<SettingSpec>> ReadSettingSpecs(IUnknown& plugin)
{
    ComPtr<IPluginSettings> settings = ComPtr<IUnknown>(&plugin).As<IPluginSettings>();
    if (!settings)
        return std::nullopt;
    LONG count = 0;
    if (FAILED(settings->GetSettingCount(&count)))
        return std::nullopt;
    std::vector<SettingSpec> specs;
    for (LONG i = 0; i < count; ++i) {
        BString name, label, defaultValue, help, choices;
        LONG kind = 0;
        SettingSpec key;
        if (FAILED(settings->GetSetting(i, name.Out(), label.Out(), &kind, defaultValue.Out(), help.Out(), &key.minimum,
                                        &key.maximum, choices.Out())))
            return std::nullopt;
        key.name = name.utf8();
        key.label = label.utf8();
        key.kind = static_cast<PluginSettingKind>(kind);
        key.defaultValue = defaultValue.utf8();
        key.help = help.utf8();
        key.choices = SplitChoices(choices.utf8());
        specs.push_back(std::move(key));
    }
    return specs;
}

std::map<std::string, std::string> InitialValues(const std::vector<SettingSpec>& specs,
                                                 const std::string& configuration)
{
    const ConfigurationText fields(configuration);
    std::map<std::string, std::string> values;
    for (const SettingSpec& spec : specs)
        values[spec.name] = fields.Text(spec.name).value_or(spec.defaultValue);
    return values;
}

std::optional<std::string> ComposeConfiguration(const std::vector<SettingSpec>& specs,
                                                const std::map<std::string, std::string>& values,
                                                const std::string& previous, std::string* error, bool required)
{
    const ConfigurationText kept(previous);
    std::string text;
    auto append = [&text](const std::string& name, const std::string& value) {
        if (!text.empty())
            text += ';';
        text += name + '=' + value;
    };
    for (const SettingSpec& spec : specs) {
        const auto found = values.find(spec.name);
        const std::string value = found == values.end() ? spec.defaultValue : found->second;
        if (const auto problem = Problem(spec, value, kept.Text(spec.name), required)) {
            if (error)
                *error = *problem;
            return std::nullopt;
        }
        append(spec.name, value);
    }
    for (const auto& [name, value] : kept.fields())
        if (std::none_of(specs.begin(), specs.end(), [&](const SettingSpec& spec) { return spec.name == name; }))
            append(name, value);
    return text;
}

} // namespace pixtera::designer
