// SPDX-License-Identifier: MIT
#include "place_probes.h"

#include "lcd_settings.h"

#include <algorithm>

namespace pixtera::detection {
namespace {

constexpr const char* kKernelLcd = "/dev/lcd";

} // namespace

// Nothing is written and nothing waited for: the kernel has set the module up, and sysfs tells
// the rest.
void ProbeKernelLcd(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report)
{
    const auto lcd = devices.KernelLcd();
    if (!lcd) {
        const auto names = devices.DeviceNames();
        if (std::find(names.begin(), names.end(), "lcd") != names.end()) // a udev name for another module?
            report.tried.push_back({kKernelLcd, "not the kernel's LCD device (a link or another device): not used"});
        return;
    }
    const bool sized = lcd->columns > 0 && lcd->rows > 0;
    const int columns = sized ? lcd->columns : options.size.columns;
    const int rows = sized ? lcd->rows : options.size.rows;
    FoundModule found;
    found.progId = lcd::kKernelLcdDriver.progId;
    found.settings = lcd::kKernelLcdDriver.settings;
    found.configuration = "device=" + lcd->device + ";columns=" + std::to_string(columns) +
                          ";rows=" + std::to_string(rows) + ";backlight=on";
    found.place = lcd->device + ", the kernel's " + (lcd->driver.empty() ? "charlcd" : lcd->driver) + " driver";
    if (sized)
        found.place += " (" + std::to_string(columns) + "x" + std::to_string(rows) + ")";
    found.note = "the kernel owns the module: nothing was written to it";
    found.sizeAssumed = !sized;
    report.found.push_back(std::move(found));
}

} // namespace pixtera::detection
