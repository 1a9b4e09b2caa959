// SPDX-License-Identifier: MIT
#include "plugin_place.h"

#include "known_drivers.h"
#include "module_place.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace pixtera::detection {
namespace {

const SettingDescription* Described(const DescribedDriver& driver, std::string_view name)
{
    const auto found = std::find_if(driver.settings.begin(), driver.settings.end(),
                                    [&](const SettingDescription& setting) { return name == setting.name; });
    return found == driver.settings.end() ? nullptr : &*found;
}

std::string Hex(LONG number)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02lx", static_cast<unsigned long>(number));
    return text;
}

// One {key} or {key:hex} of the readable place: the value as the driver reads it.
std::string Value(const DescribedDriver& driver, std::string_view key, const ConfigurationText& fields)
{
    const bool hex = key.ends_with(":hex");
    if (hex)
        key.remove_suffix(4);
    const std::string name(key);
    auto value = fields.Text(name);
    const SettingDescription* setting = Described(driver, name);
    if (!setting)
        return value.value_or("");
    if (setting->place == SettingPlace::Number) {
        const auto number = NumberAsRead(*setting, value);
        if (!number)
            return setting->defaultValue;
        return hex ? Hex(*number) : std::to_string(*number);
    }
    return value.value_or(setting->defaultValue);
}

// "[key=value]rest": whether the key reads as the value (missing: its default); no condition holds.
bool Holds(const DescribedDriver& driver, std::string_view& pattern, const ConfigurationText& fields)
{
    if (!pattern.starts_with('['))
        return true;
    const auto close = pattern.find(']');
    const auto equals = pattern.find('=');
    if (close == std::string_view::npos || equals > close)
        return true;
    const std::string_view key = pattern.substr(1, equals - 1);
    const std::string_view wanted = pattern.substr(equals + 1, close - equals - 1);
    pattern.remove_prefix(close + 1);
    return Value(driver, key, fields) == wanted;
}

// The first of the pattern's alternatives (separated by |) whose condition holds.
std::string_view Alternative(const DescribedDriver& driver, const ConfigurationText& fields)
{
    std::string_view patterns = driver.readablePlace ? driver.readablePlace : "";
    for (;;) {
        const auto bar = patterns.find('|');
        std::string_view pattern = patterns.substr(0, bar);
        if (Holds(driver, pattern, fields) || bar == std::string_view::npos)
            return pattern;
        patterns.remove_prefix(bar + 1);
    }
}

std::string ReadablePlace(const DescribedDriver& driver, const ConfigurationText& fields)
{
    std::string place;
    std::string_view pattern = Alternative(driver, fields);
    while (!pattern.empty()) {
        const auto open = pattern.find('{');
        const auto close = pattern.find('}', open);
        if (open == std::string_view::npos || close == std::string_view::npos) {
            place += pattern;
            break;
        }
        place += pattern.substr(0, open);
        place += Value(driver, pattern.substr(open + 1, close - open - 1), fields);
        pattern.remove_prefix(close + 1);
    }
    return place;
}

bool HasPlaceKey(const DescribedDriver& driver, const ConfigurationText& fields)
{
    return std::any_of(driver.settings.begin(), driver.settings.end(), [&](const SettingDescription& setting) {
        return setting.place != SettingPlace::None && fields.Text(setting.name);
    });
}

const DescribedDriver* DriverOf(const std::string& progId, const ConfigurationText& fields,
                                std::span<const DescribedDriver* const> drivers)
{
    const auto found = std::find_if(drivers.begin(), drivers.end(), [&](const DescribedDriver* driver) {
        return progId.empty() ? HasPlaceKey(*driver, fields) : progId == driver->progId;
    });
    return found == drivers.end() ? nullptr : *found;
}

} // namespace

std::string PlaceOf(const std::string& progId, const std::string& configuration,
                    std::span<const DescribedDriver* const> drivers)
{
    const ConfigurationText fields(configuration);
    if (const DescribedDriver* driver = DriverOf(progId, fields, drivers); driver && driver->readablePlace)
        return ReadablePlace(*driver, fields);
    // The file or terminal of the file, terminal and data plug-ins.
    for (const char* key : {"path", "file", "tty"})
        if (const auto place = fields.Text(key); place && !place->empty())
            return *place;
    return {};
}

std::string PlaceOf(const std::string& progId, const std::string& configuration)
{
    return PlaceOf(progId, configuration, kKnownDrivers);
}

} // namespace pixtera::detection
