// SPDX-License-Identifier: MIT
#include "place_probes.h"

#include "crystalfontz_detection.h"

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
// A module answers a read command within milliseconds; this bounds a silent port's probe.
constexpr std::chrono::milliseconds kAnswerTime{250};
// A module says nothing unasked; a GPS receiver sends its sentences at least once a second.
constexpr std::chrono::milliseconds kListenTime{1100};
// A module's answer is one byte: anything after it is not a module's.
constexpr std::chrono::milliseconds kQuietTime{50};

constexpr const char* kSerialPlaces = "/dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*";
constexpr const char* kNoPortReason =
    "no serial port: a USB serial module appears here when it is plugged in (one on another port: configure it by "
    "hand)";

constexpr std::string_view kReadModuleType{"\xFE\x37", 2};
constexpr std::string_view kReadVersion{"\xFE\x36", 2};

struct SerialCandidate {
    std::string path; // the by-id link where there is one: it survives replugging
    bool named = false; // by the user: probed whatever udev marks it as
};

std::vector<SerialCandidate> SerialCandidates(DetectionDevices& devices, const DetectionOptions& options)
{
    std::vector<SerialCandidate> candidates;
    if (!options.ports.empty()) {
        for (const auto& port : options.ports)
            candidates.push_back({port, true});
        return candidates;
    }
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

struct Reply {
    bool heard = false; // anything came back
    std::optional<std::uint8_t> byte; // exactly one byte came back
};

Reply Ask(SerialPort& port, std::string_view command)
{
    if (!port.Write(command))
        return {};
    const std::string answer = port.Read(1, kAnswerTime);
    if (answer.empty())
        return {};
    if (!port.Read(1, kQuietTime).empty())
        return {true, std::nullopt};
    return {true, static_cast<std::uint8_t>(answer[0])};
}

struct Identity {
    std::uint8_t type = 0;
    std::uint8_t version = 0;
    bool operator==(const Identity&) const = default;
};

// The module type and version, asked twice: a module gives the same single byte each time. Sets
// `heard` when something answered, whether as a module does or not.
std::optional<Identity> Identify(SerialPort& port, bool& heard)
{
    std::optional<Identity> first;
    for (int round = 0; round < 2; ++round) {
        const Reply type = Ask(port, kReadModuleType);
        heard = heard || type.heard;
        if (!type.byte)
            return std::nullopt;
        const Reply version = Ask(port, kReadVersion);
        heard = heard || version.heard;
        if (!version.byte)
            return std::nullopt;
        const Identity answer{*type.byte, *version.byte};
        if (first && *first != answer)
            return std::nullopt;
        first = answer;
    }
    return first;
}

struct SerialOutcome {
    std::optional<FoundModule> found;
    PlaceTried tried;
};

SerialOutcome Refusal(const std::string& path, int error)
{
    if (error == EBUSY)
        return {std::nullopt, {path, "in use by another program; not probed"}};
    if (error == EACCES || error == EPERM)
        return {std::nullopt,
                {path, "permission denied: add yourself to the group that owns " + path +
                           ": `sudo usermod -aG dialout $USER`, then log in again"}};
    return {std::nullopt, {path, std::strerror(error)}};
}

FoundModule Found(const std::string& path, int speed, const Identity& identity, const ModuleSize& size)
{
    FoundModule found;
    found.progId = lcd::kSerialDriver.progId;
    found.settings = lcd::kSerialDriver.settings;
    found.sizeAssumed = true;
    found.configuration = "device=" + path + ";speed=" + std::to_string(speed) +
                          ";columns=" + std::to_string(size.columns) + ";rows=" + std::to_string(size.rows) +
                          ";backlight=on";
    found.place = path + " at " + std::to_string(speed) + " baud (module type " + lcd::HexByte(identity.type) +
                  ", version " + lcd::HexByte(identity.version) + ")";
    return found;
}

// Listens before the first command: a port that talks unasked is no module and is written nothing.
// A device that answers, but not as a module does, is asked nothing more. A CrystalFontz module,
// known by its USB id, is only pinged: the 0xFE commands are not its protocol.
SerialOutcome ProbePort(DetectionDevices& devices, const std::string& path, const ModuleSize& size)
{
    int error = 0;
    auto port = devices.OpenSerial(path, error);
    if (!port)
        return Refusal(path, error);
    const auto usb = devices.SerialUsbId(path);
    if (const auto model = usb ? CrystalfontzModelOf(*usb) : std::nullopt) {
        // Its key and temperature reports may come unasked: they say nothing against it.
        CrystalfontzOutcome outcome = PingCrystalfontz(*port, path, *model);
        if (outcome.found)
            return {std::move(outcome.found), {}};
        return {std::nullopt, {path, outcome.reason}};
    }
    bool listened = false;
    for (int speed : kSpeeds) {
        if (!port->SetSpeed(speed))
            continue;
        if (!port->Read(1, listened ? std::chrono::milliseconds(0) : kListenTime).empty())
            return {std::nullopt,
                    {path, "sends data unasked (a GPS receiver or a modem?): not a module; nothing was "
                           "written to it"}};
        listened = true;
        bool heard = false;
        if (const auto identity = Identify(*port, heard))
            return {Found(path, speed, *identity, size), {}};
        if (heard)
            return {std::nullopt, {path, "answers, but not as a module does (one byte, the same twice): not a module"}};
    }
    return {std::nullopt, {path, "no answer (a module without read-back still works: configure it by hand)"}};
}

} // namespace

void ProbeSerialPorts(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report)
{
    const auto candidates = SerialCandidates(devices, options);
    if (candidates.empty()) // looked at all the same: the user is told
        report.tried.push_back({kSerialPlaces, kNoPortReason});
    // Side by side: a silent port takes two seconds, and each probe holds only its own port.
    std::vector<std::future<SerialOutcome>> probes;
    for (const auto& candidate : candidates) {
        if (!candidate.named)
            if (auto use = devices.OtherUse(candidate.path)) {
                report.tried.push_back({candidate.path, "udev marks it as " + *use +
                                                            ": not probed (`pixtera-detect --port " + candidate.path +
                                                            "` probes it)"});
                continue;
            }
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
