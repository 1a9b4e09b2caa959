// SPDX-License-Identifier: MIT
#include "backpack_connection.h"

#include "expander_identification.h"
#include "pin_map_detection.h"

#include <pixtera/platform/event_log.h>

namespace pixtera::lcd {
namespace {

const std::string kName = "HD44780 I2C display: ";

// The pin map read back from the module, at every connection (a module may be swapped); pin map
// a, said so, when it cannot be read.
Pcf8574Pins DetectedPins(DeviceLink& link, const std::string& device, const Sleeper& sleep, bool& readable)
{
    LinkExpanderPort port(link);
    const PinMapFound found = DetectPinMap(port, sleep);
    readable = found != PinMapFound::Unknown;
    if (found == PinMapFound::Unknown) {
        LogWarning(kName + device +
                   " cannot be read back (its RW line may not be wired); "
                   "pin map a is used, set pinmap=b if the module shows garbage");
        return Pcf8574Pins::A();
    }
    LogInformation(kName + device + " is wired with pin map " + PinMapName(found));
    return found == PinMapFound::B ? Pcf8574Pins::B() : Pcf8574Pins::A();
}

// The expander configured, or the one identified; nothing (and `error` set) when it cannot be
// told, and then nothing was written to it.
std::optional<ExpanderChip> ExpanderAt(DeviceLink& link, const I2cSettings& settings, const std::string& device,
                                       std::string& error)
{
    if (settings.expander)
        return settings.expander;
    LinkI2cDevice chip(link);
    const ExpanderFound found = IdentifyExpander(chip);
    if (const auto identified = ChipOf(found)) {
        LogInformation(kName + device + " is an " + ExpanderName(*identified) +
                       " (expander=" + ExpanderKey(*identified) + " skips identifying it)");
        return identified;
    }
    error = found == ExpanderFound::Absent
                ? std::string("nothing answers")
                : std::string(FoundName(found)) +
                      " answers, which is no expander this driver knows; nothing was written to it (expander= names "
                      "one that is)";
    return std::nullopt;
}

} // namespace

bool PrepareBackpack(DeviceLink& link, const I2cSettings& settings, Hd44780I2cProtocol& protocol,
                     const std::string& device, const Sleeper& sleep, std::string& error)
{
    const auto chip = ExpanderAt(link, settings, device, error);
    if (!chip)
        return false;
    bool readable = false;
    if (*chip != ExpanderChip::Pcf8574) {
        const Backpack backpack = WiringFor(settings, *chip);
        protocol.SetBackpack(backpack);
        McpExpanderPort port(link, backpack);
        readable = backpack.pins.rw != 0 && ReadsBackThrough(port, backpack, sleep);
    } else if (settings.detectPins) {
        protocol.SetBackpack(DetectedPins(link, device, sleep, readable));
    } else {
        protocol.SetBackpack(settings.pins);
        LinkExpanderPort port(link);
        readable = ReadsBackThrough(port, settings.pins, sleep);
    }
    protocol.SetReadable(readable); // checked and repaired by reading its cursor back
    return true;
}

} // namespace pixtera::lcd
