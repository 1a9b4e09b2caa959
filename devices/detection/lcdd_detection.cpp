// SPDX-License-Identifier: MIT
#include "place_probes.h"

#include "lcd_commands.h"
#include "lcdd_settings.h"

namespace pixtera::detection {
namespace {

constexpr const char* kLcddHost = "127.0.0.1";
constexpr int kLcddPort = 13666;

} // namespace

void ProbeLcdd(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report)
{
    const std::string place = std::string("LCDd at ") + kLcddHost + ":" + std::to_string(kLcddPort);
    if (options.progress)
        options.progress(place);
    const auto greeting = devices.LcddGreeting(kLcddHost, kLcddPort);
    lcdproc::Geometry geometry;
    if (!greeting) {
        report.tried.push_back({place, "not running"});
        return;
    }
    if (!lcdproc::ParseConnectReply(*greeting, geometry)) {
        report.tried.push_back({place, "answered something else than LCDd's greeting: " + greeting->substr(0, 80)});
        return;
    }
    FoundModule found;
    found.progId = lcdproc::kLcddDriver.progId;
    found.settings = lcdproc::kLcddDriver.settings;
    found.configuration = std::string("host=") + kLcddHost + ";port=" + std::to_string(kLcddPort) +
                          ";columns=" + std::to_string(geometry.columns) + ";rows=" + std::to_string(geometry.rows);
    found.place = place + " (" + std::to_string(geometry.columns) + "x" + std::to_string(geometry.rows) + ")";
    report.found.push_back(std::move(found));
}

} // namespace pixtera::detection
