// SPDX-License-Identifier: MIT
#include "designer_settings.h"

#include <pixtera/platform/registry.h>

namespace pixtera::designer {
namespace {

constexpr const char* kSettingsKey = "Software\\Pixtera2.0";

RegKey OpenForReading()
{
    RegKey key;
    key.Open(HKEY_LOCAL_MACHINE, kSettingsKey, KEY_READ);
    return key;
}

RegKey OpenForWriting()
{
    RegKey key;
    key.Create(HKEY_LOCAL_MACHINE, kSettingsKey);
    return key;
}

} // namespace

std::optional<DWORD> DesignerSettings::ReadNumber(const std::string& name) const
{
    const RegKey key = OpenForReading();
    return key ? key.QueryDword(name) : std::nullopt;
}

void DesignerSettings::WriteNumber(const std::string& name, DWORD value)
{
    if (RegKey key = OpenForWriting())
        key.SetDword(name, value);
}

std::optional<Rgb> DesignerSettings::ReadColour(const std::string& name) const
{
    const RegKey key = OpenForReading();
    if (!key)
        return std::nullopt;
    const auto value = key.QueryValue(name);
    if (!value || value->type != REG_BINARY || value->data.size() != 4)
        return std::nullopt;
    return Rgb{value->data[0], value->data[1], value->data[2]};
}

void DesignerSettings::WriteColour(const std::string& name, Rgb colour)
{
    if (RegKey key = OpenForWriting())
        key.SetValue(
            name, REG_BINARY,
            {static_cast<BYTE>(colour.red), static_cast<BYTE>(colour.green), static_cast<BYTE>(colour.blue), 0});
}

} // namespace pixtera::designer
