// SPDX-License-Identifier: MIT
#include "place_probes.h"

#include "lcd_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <set>

namespace pixtera::detection {
namespace {

// The speeds modules ship with, the commonest first.
constexpr int kSpeeds[] = {19200, 9600, 57600, 115200};
// A module answers a read command within milliseconds; this bounds a silent port's probe to
// about a second.
constexpr std::chrono::milliseconds kAnswerTime{250};

constexpr const char* kSerialPlaces = "/dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*";
constexpr const char* kNoPortReason =
    "no serial port: a USB serial module appears here when it is plugged in (one on another port: configure it by "
    "hand)";

constexpr std::string_view kReadModuleType{"\xFE\x37", 2};
constexpr std::string_view kReadVersion{"\xFE\x36", 2};

struct SerialCandidate {
    std::string path; // the by-id link where there is one: it survives replugging
};

std::vector<SerialCandidate> SerialCandidates(DetectionDevices& devices)
{
    std::vector<SerialCandidate> candidates;
    std::set<std::string> covered;
    for (const auto& [link, target] : devices.SerialLinks()) {
        candidates.push_back({link});
        covered.insert(target);
    }
    std::vector<std::string> names = devices.DeviceNames();
    std::sort(names.begin(), names.end());
    for (const auto& name : names)
        if ((name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) && !covered.contains(name))
            candidates.push_back({"/dev/" + name});
    return candidates;
}

std::optional<std::uint8_t> Ask(SerialPort& port, std::string_view command)
{
    if (!port.Write(command))
        return std::nullopt;
    const std::string answer = port.Read(1, kAnswerTime);
    if (answer.size() != 1)
        return std::nullopt;
    return static_cast<std::uint8_t>(answer[0]);
}

struct SerialOutcome {
    std::optional<FoundModule> found;
    PlaceTried tried;
};

SerialOutcome ProbePort(DetectionDevices& devices, const std::string& path, const ModuleSize& size)
{
    int error = 0;
    auto port = devices.OpenSerial(path, error);
    if (!port) {
        if (error == EBUSY)
            return {std::nullopt, {path, "in use by another program; not probed"}};
        if (error == EACCES || error == EPERM)
            return {std::nullopt,
                    {path, "permission denied: add yourself to the group that owns " + path +
                               ": `sudo usermod -aG dialout $USER`, then log in again"}};
        return {std::nullopt, {path, std::strerror(error)}};
    }
    for (int speed : kSpeeds) {
        if (!port->SetSpeed(speed))
            continue;
        port->Read(64, std::chrono::milliseconds(0)); // what a previous speed left
        const auto type = Ask(*port, kReadModuleType);
        if (!type)
            continue;
        const auto version = Ask(*port, kReadVersion);
        if (!version)
            continue;
        FoundModule found;
        found.progId = "Pixtera.SerialLCD";
        found.configuration = "device=" + path + ";speed=" + std::to_string(speed) +
                              ";columns=" + std::to_string(size.columns) + ";rows=" + std::to_string(size.rows) +
                              ";backlight=on";
        found.place = path + " at " + std::to_string(speed) + " baud (module type " + lcd::HexByte(*type) +
                      ", version " + lcd::HexByte(*version) + ")";
        return {std::move(found), {}};
    }
    return {std::nullopt, {path, "no answer (a module without read-back still works: configure it by hand)"}};
}

} // namespace

void ProbeSerialPorts(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report)
{
    const auto candidates = SerialCandidates(devices);
    if (candidates.empty()) // looked at all the same: the user is told
        report.tried.push_back({kSerialPlaces, kNoPortReason});
    // Side by side: a silent port takes a second, and each probe holds only its own port.
    std::vector<std::future<SerialOutcome>> probes;
    for (const auto& candidate : candidates) {
        if (options.progress)
            options.progress(candidate.path);
        probes.push_back(std::async(std::launch::async, [&devices, path = candidate.path, size = options.size] {
            return ProbePort(devices, path, size);
        }));
    }
    for (auto& probe : probes) {
        SerialOutcome outcome = probe.get();
        if (outcome.found)
            report.found.push_back(std::move(*outcome.found));
        else
            report.tried.push_back(std::move(outcome.tried));
    }
}

} // namespace pixtera::detection
