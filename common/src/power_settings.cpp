// SPDX-License-Identifier: MIT
#include "pixtera/power_settings.h"

#include <pixtera/platform/registry.h>
#include <pixtera/sdk/configuration_text.h>

#include <charconv>
#include <cstdio>

namespace pixtera {
namespace {

constexpr const char* kKey = "Software\\Pixtera2.0\\Power";

std::optional<int> Minutes(std::string_view clock)
{
    const auto colon = clock.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    int hours = -1, minutes = -1;
    const auto h = std::from_chars(clock.data(), clock.data() + colon, hours);
    const auto m = std::from_chars(clock.data() + colon + 1, clock.data() + clock.size(), minutes);
    if (h.ec != std::errc() || h.ptr != clock.data() + colon || m.ec != std::errc() ||
        m.ptr != clock.data() + clock.size() || colon == 0 || hours < 0 || hours > 24 || minutes < 0 || minutes > 59 ||
        (hours == 24 && minutes != 0))
        return std::nullopt;
    return hours * 60 + minutes;
}

} // namespace

std::optional<HoursWindow> HoursWindow::Parse(std::string_view text)
{
    const auto dash = text.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const auto from = Minutes(TrimBlanks(text.substr(0, dash)));
    const auto to = Minutes(TrimBlanks(text.substr(dash + 1)));
    if (!from || !to || *from == *to)
        return std::nullopt;
    return HoursWindow{*from % 1440, *to % 1440};
}

bool HoursWindow::Contains(int minuteOfDay) const
{
    return from < to ? minuteOfDay >= from && minuteOfDay < to : minuteOfDay >= from || minuteOfDay < to;
}

std::string HoursWindow::Text() const
{
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d-%02d:%02d", from / 60, from % 60, to / 60, to % 60);
    return text;
}

PowerSettings ReadPowerSettings()
{
    PowerSettings settings;
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kKey, KEY_READ) != ERROR_SUCCESS)
        return settings;
    settings.idleMinutes = static_cast<int>(std::min<DWORD>(key.QueryDword("IdleMinutes").value_or(0), 24 * 60));
    settings.blankWhenLocked = key.QueryDword("BlankWhenLocked").value_or(1) != 0;
    settings.blankHours = key.QueryString("BlankHours").value_or("");
    settings.blankBeforeSleep = key.QueryDword("BlankBeforeSleep").value_or(1) != 0;
    settings.keepRenderingWhenBlank = key.QueryDword("KeepRenderingWhenBlank").value_or(0) != 0;
    return settings;
}

bool WritePowerSettings(const PowerSettings& settings)
{
    RegKey key;
    return key.Create(HKEY_CURRENT_USER, kKey) == ERROR_SUCCESS &&
           key.SetDword("IdleMinutes", static_cast<DWORD>(settings.idleMinutes)) == ERROR_SUCCESS &&
           key.SetDword("BlankWhenLocked", settings.blankWhenLocked) == ERROR_SUCCESS &&
           key.SetString("BlankHours", settings.blankHours) == ERROR_SUCCESS &&
           key.SetDword("BlankBeforeSleep", settings.blankBeforeSleep) == ERROR_SUCCESS &&
           key.SetDword("KeepRenderingWhenBlank", settings.keepRenderingWhenBlank) == ERROR_SUCCESS;
}

} // namespace pixtera
