// SPDX-License-Identifier: MIT
#include "module_place.h"

#include <pixtera/sdk/configuration_text.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>

namespace pixtera::detection {
namespace {

// A whole number as the drivers read it: integer settings in decimal, others (an I2C address)
// also as 0x27.
std::optional<LONG> ReadNumber(std::string_view text, bool hexadecimal)
{
    int base = 10;
    if (hexadecimal && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    LONG value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string NumberPlace(const SettingDescription& setting, const std::optional<std::string>& value)
{
    const auto number = NumberAsRead(setting, value);
    return number ? std::to_string(*number) : setting.defaultValue;
}

// One device under all its names: /dev/serial/by-id/... and the /dev/ttyACM0 it links to.
std::string DevicePlace(const std::string& device)
{
    std::error_code ec;
    const auto target = std::filesystem::canonical(device, ec);
    return ec ? device : target.string();
}

std::string HostPlace(const std::string& host) { return host == "localhost" ? "127.0.0.1" : host; }

std::string ValuePlace(const SettingDescription& setting, const ConfigurationText& fields)
{
    const auto value = fields.Text(setting.name);
    switch (setting.place) {
    case SettingPlace::Number: return NumberPlace(setting, value);
    case SettingPlace::Host: return HostPlace(value.value_or(setting.defaultValue));
    case SettingPlace::Device: return DevicePlace(value.value_or(setting.defaultValue));
    case SettingPlace::Word: return value.value_or(setting.defaultValue);
    case SettingPlace::None: break;
    }
    return {};
}

} // namespace

std::optional<LONG> NumberAsRead(const SettingDescription& setting, const std::optional<std::string>& value)
{
    auto usable = [&setting](std::string_view text) -> std::optional<LONG> {
        const auto number = ReadNumber(text, setting.kind != kSettingInteger);
        if (number && setting.maximum > setting.minimum && (*number < setting.minimum || *number > setting.maximum))
            return std::nullopt;
        return number;
    };
    auto number = value ? usable(*value) : std::nullopt;
    return number ? number : usable(setting.defaultValue);
}

std::string ModulePlace(const std::string& progId, const std::string& configuration,
                        std::span<const SettingDescription> settings)
{
    const ConfigurationText fields(configuration);
    std::string place = progId;
    bool described = false;
    for (const SettingDescription& setting : settings) {
        if (setting.place == SettingPlace::None)
            continue;
        place += std::string(" ") + setting.name + "=" + ValuePlace(setting, fields);
        described = true;
    }
    return described ? place : progId + " " + configuration;
}

std::vector<std::string> ModulePlaces(const FoundModule& module)
{
    std::vector<std::string> places{ModulePlace(module.progId, module.configuration, module.settings)};
    for (const std::string& other : module.sameModule)
        places.push_back(ModulePlace(module.progId, other, module.settings));
    return places;
}

bool DrivesModule(const std::string& progId, const std::string& configuration, const FoundModule& module)
{
    if (progId != module.progId)
        return false;
    const auto places = ModulePlaces(module);
    return std::find(places.begin(), places.end(), ModulePlace(progId, configuration, module.settings)) != places.end();
}

} // namespace pixtera::detection
