// SPDX-License-Identifier: MIT
#include "module_detection.h"

#include "place_probes.h"

namespace pixtera::detection {

DetectionReport DetectModules(DetectionDevices& devices, const DetectionOptions& options)
{
    DetectionReport report;
    ProbeKernelLcd(devices, options, report);
    ProbeI2cBuses(devices, options, report);
    ProbeUsbAdapters(devices, options, report);
    ProbeUsbModules(devices, options, report);
    if (options.serial)
        ProbeSerialPorts(devices, options, report);
    if (options.lcdd)
        ProbeLcdd(devices, options, report);
    return report;
}

} // namespace pixtera::detection
