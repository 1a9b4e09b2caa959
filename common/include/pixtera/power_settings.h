// SPDX-License-Identifier: MIT
#pragma once
// When the displays go dark: the user's power policy, kept in the user's registry under
// Software\Pixtera2.0\Power. The service reads it; the designer's Power dialog writes it.

#include <optional>
#include <string>
#include <string_view>

namespace pixtera {

// A daily span of local time, "23:00-07:00"; it may run over midnight.
struct HoursWindow {
    int from = 0; // minutes after midnight
    int to = 0;

    // Nothing for a text that is no such span (empty: no window).
    static std::optional<HoursWindow> Parse(std::string_view text);
    bool Contains(int minuteOfDay) const;
    std::string Text() const;
};

struct PowerSettings {
    int idleMinutes = 0; // blank after the session was idle this long; 0: never
    bool blankWhenLocked = true;
    std::string blankHours; // an HoursWindow's text, or empty
    bool blankBeforeSleep = true;
    bool keepRenderingWhenBlank = false;
};

PowerSettings ReadPowerSettings();
// False when the registry cannot be written.
bool WritePowerSettings(const PowerSettings& settings);

} // namespace pixtera
