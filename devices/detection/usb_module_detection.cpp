// SPDX-License-Identifier: MIT
// The USB character modules driven directly: found by their USB ids, then asked something only
// that module answers so (a picoLCD its version report, an LCD2USB to echo) before anything is
// configured.

#include "place_probes.h"

#include "lcd2usb_protocol.h"
#include "picolcd_module.h"
#include "usb_i2c_adapter.h"
#include "usb_lcd_settings.h"

#include <algorithm>
#include <cstring>

namespace pixtera::detection {
namespace {

std::string Refusal(int error)
{
    return error == EACCES || error == EPERM
               ? "permission denied: install the package's udev rule for USB modules (docs/hardware.md), then plug "
                 "it in again"
               : std::string(std::strerror(error));
}

// The configurations besides device=auto:BUS-PORT that open this very module: device=auto when
// it is the first of its kind by port (as the drivers choose), and a picoLCD's hidraw node.
std::vector<std::string> SameModule(const UsbModuleFound& module, const std::vector<UsbModuleFound>& all)
{
    std::vector<std::string> same;
    const bool first = std::none_of(all.begin(), all.end(), [&](const UsbModuleFound& other) {
        return other.kind == module.kind && other.device.port < module.device.port;
    });
    if (first)
        same.push_back("device=auto");
    if (module.kind == UsbModuleKind::PicoLcd)
        if (const auto node = lcd::HidrawNode(module.device))
            same.push_back("device=" + *node);
    return same;
}

} // namespace

void ProbeUsbModules(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report)
{
    if (!options.buses.empty())
        return; // only the buses named
    const std::vector<UsbModuleFound> modules = devices.UsbModules();
    for (const UsbModuleFound& found : modules) {
        const bool pico = found.kind == UsbModuleKind::PicoLcd;
        const std::string place = std::string(pico ? "picoLCD 20x2" : "LCD2USB") + " at " + found.device.port;
        if (options.progress)
            options.progress(place);
        int error = 0;
        std::optional<std::string> version;
        if (pico) {
            if (auto reports = devices.OpenPicoLcd(found, error))
                version = lcd::AskPicoLcdVersion(*reports);
        } else if (auto control = devices.OpenLcd2Usb(found, error)) {
            version = lcd::ProbeLcd2Usb(*control);
        }
        if (error != 0) {
            report.tried.push_back({place, Refusal(error)});
            continue;
        }
        if (!version) {
            report.tried.push_back({place, pico ? "its ids are a picoLCD's, but it did not answer the version report"
                                                : "its ids are an LCD2USB's, but it did not echo"});
            continue;
        }
        FoundModule module;
        module.place = place;
        module.note = "firmware " + *version;
        const std::string device = "device=auto:" + found.device.port;
        if (pico) {
            module.progId = lcd::kPicoLcdDriver.progId;
            module.configuration = device + ";backlight=on";
            module.settings = lcd::kPicoLcdSettings;
        } else {
            module.progId = lcd::kLcd2UsbDriver.progId;
            module.configuration = device + ";columns=" + std::to_string(options.size.columns) +
                                   ";rows=" + std::to_string(options.size.rows) + ";backlight=on";
            module.settings = lcd::kLcd2UsbSettings;
            module.sizeAssumed = true; // an HD44780 cannot tell its size
        }
        module.sameModule = SameModule(found, modules);
        report.found.push_back(std::move(module));
    }
}

} // namespace pixtera::detection
