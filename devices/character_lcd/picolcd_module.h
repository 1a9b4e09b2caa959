// SPDX-License-Identifier: MIT
#pragma once
// Bringing a picoLCD 20x2 up on a connection: its version asked (a report only it answers so)
// before the writer configures it.

#include "hid_module.h"

#include <optional>
#include <string>

namespace pixtera::lcd {

// "1.2" from the module's version report, waiting at most a few reports (its keys may come
// first); nothing when it does not answer so.
std::optional<std::string> AskPicoLcdVersion(HidReports& reports);

// The version asked, then the link; nothing (and `error`) when the module did not answer.
std::optional<DeviceLink> StartPicoLcd(HidConnection connection, HidInputReader& reader, std::string& version,
                                       std::string& error);

} // namespace pixtera::lcd
