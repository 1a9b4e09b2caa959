// SPDX-License-Identifier: MIT
#pragma once
// The kinds of place module detection looks at; each adds what it found, or why it found
// nothing, to the report.

#include "module_detection.h"

namespace pixtera::detection {

// Every /dev/i2c-N (or those asked for): the expander ranges, and the HD44780 behind each
// expander that answers.
void ProbeI2cBuses(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report);
// The USB-to-I2C adapters driven directly (one a kernel driver made a bus is probed as that bus).
void ProbeUsbAdapters(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report);
// The USB character modules driven directly (picoLCD 20x2, LCD2USB), each asked its version.
void ProbeUsbModules(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report);
// /dev/serial/by-id/*, /dev/ttyUSB* and /dev/ttyACM*, at once, each at the usual speeds.
void ProbeSerialPorts(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report);
// The display the kernel drives (/dev/lcd).
void ProbeKernelLcd(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report);
// LCDd on this machine.
void ProbeLcdd(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report);

} // namespace pixtera::detection
