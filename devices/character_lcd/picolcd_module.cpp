// SPDX-License-Identifier: MIT
#include "picolcd_module.h"

#include "picolcd_protocol.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace pixtera::lcd {

std::optional<std::string> AskPicoLcdVersion(HidReports& reports)
{
    const std::uint8_t ask[] = {picolcd::kVersion};
    if (reports.Write(ask) != 0)
        return std::nullopt;
    // Keys pressed meanwhile come first; a module that floods with them is no picoLCD.
    for (int read = 0; read < 8; ++read) {
        std::array<std::uint8_t, picolcd::kReportSize> answer{};
        std::size_t got = 0;
        const int error = reports.Read(answer, got);
        if (error == EAGAIN)
            continue;
        if (error != 0)
            return std::nullopt;
        if (got >= 3 && answer[0] == picolcd::kVersion)
            return std::to_string(answer[2]) + "." + std::to_string(answer[1]);
    }
    return std::nullopt;
}

std::optional<DeviceLink> StartPicoLcd(HidConnection connection, HidInputReader& reader, std::string& version,
                                       std::string& error)
{
    const auto answer = AskPicoLcdVersion(*connection.reports);
    if (!answer) {
        error = "no answer to the version report";
        errno = EIO;
        return std::nullopt;
    }
    version = *answer;
    return LinkOverReports(std::move(connection), reader);
}

} // namespace pixtera::lcd
