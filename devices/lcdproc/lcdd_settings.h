// SPDX-License-Identifier: MIT
#pragma once
// The keys of the LCDd display driver's configuration; the host and the port are its place.

#include <pixtera/sdk/described_driver.h>
#include <pixtera/sdk/described_settings.h>

namespace pixtera::lcdproc {

inline constexpr SettingDescription kLcddSettings[] = {
    {"host", "LCDd host", kSettingText, "127.0.0.1", "The machine LCDd runs on", 0, 0, "", SettingPlace::Host},
    {"port", "LCDd port", kSettingInteger, "13666", "LCDd's port", 1, 65535, "", SettingPlace::Number},
    {"priority", "Priority", kSettingChoice, "foreground", "How LCDd ranks Pixtera's screen among its clients'", 0, 0,
     "foreground|info|background|alert|input"},
    {"columns", "Columns", kSettingInteger, "20", "Characters per row until LCDd says", 1, 256},
    {"rows", "Rows", kSettingInteger, "4", "Rows of characters until LCDd says", 1, 64},
};

inline constexpr DescribedDriver kLcddDriver{"Pixtera.LCDprocDisplay", kLcddSettings, "LCDd at {host}:{port}"};

} // namespace pixtera::lcdproc
