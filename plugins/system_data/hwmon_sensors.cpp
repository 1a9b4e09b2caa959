// SPDX-License-Identifier: MIT
#include "hwmon_sensors.h"

#include <algorithm>
#include <map>
#include <regex>

namespace pixtera {
namespace {

namespace fs = std::filesystem;

struct Kind {
    const char* prefix;
    const char* name;
    const char* folder;
    double scale;
};

// The kernel's units: millidegrees, RPM, microwatts, millivolts, milliamperes.
constexpr Kind kKinds[] = {
    {"temp", "Temperature", "Temperatures", 0.001}, {"fan", "Fan", "Fans", 1.0},
    {"power", "Power", "Power", 0.000001},          {"in", "Voltage", "Voltages", 0.001},
    {"curr", "Current", "Currents", 0.001},
};

std::string Trimmed(std::string text)
{
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    return text;
}

// What people call the chip: the CPU's sensors by that name, drives by their model.
std::string FriendlyFolder(SysfsFiles& files, const fs::path& chip, const std::string& name, const std::string& key)
{
    if (name == "k10temp" || name == "coretemp" || name == "zenpower")
        return key == name ? "CPU" : "CPU " + key.substr(name.size() + 1);
    const auto model = files.Line(chip / "device" / "model");
    if (model && !Trimmed(*model).empty()) {
        if (name == "nvme")
            return "NVMe " + Trimmed(*model);
        if (name == "drivetemp")
            return "Disk " + Trimmed(*model);
    }
    return key;
}

std::vector<std::pair<std::string, std::string>> ChannelFiles(const std::vector<std::string>& listing)
{
    // temp1_input, fan2_input, power1_average, in0_input, curr1_input
    static const std::regex input(R"(([a-z]+)(\d+)_(input|average))");
    std::vector<std::pair<std::string, std::string>> found; // (channel "temp1", file)
    for (const auto& name : listing) {
        std::smatch match;
        if (!std::regex_match(name, match, input))
            continue;
        const std::string channel = match[1].str() + match[2].str();
        const auto known = std::find_if(found.begin(), found.end(), [&](const auto& f) { return f.first == channel; });
        if (known == found.end())
            found.emplace_back(channel, name);
        else if (match[3] == "average")
            known->second = name; // power: the average where both are offered
    }
    return found;
}

} // namespace

void HwmonSensors::Rescan(SysfsFiles& files, std::vector<std::string> listing)
{
    listing_ = std::move(listing);
    chips_.clear();
    struct Found {
        std::string name;
        std::string devicePath;
        fs::path dir;
    };
    std::vector<Found> found;
    for (const auto& entry : listing_) {
        const fs::path dir = sys_ / "class" / "hwmon" / entry;
        const auto name = files.Line(dir / "name");
        if (!name || name->empty())
            continue;
        std::error_code ec;
        const fs::path device = fs::canonical(dir, ec);
        found.push_back({*name, ec ? dir.string() : device.string(), dir});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.devicePath < b.devicePath; });
    std::map<std::string, int> count;
    for (const auto& chip : found)
        ++count[chip.name];
    std::map<std::string, int> seen;
    for (const auto& chip : found) {
        Chip entry;
        entry.key = count[chip.name] > 1 ? chip.name + "." + std::to_string(++seen[chip.name]) : chip.name;
        entry.folder = FriendlyFolder(files, chip.dir, chip.name, entry.key);
        entry.powerStates = PowerStates(sys_, chip.dir);
        for (const auto& [channel, file] : ChannelFiles(SortedNames(chip.dir))) {
            for (const Kind& kind : kKinds) {
                const std::string prefix = kind.prefix;
                if (channel.rfind(prefix, 0) != 0 ||
                    channel.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
                    continue;
                const auto label = files.Line(chip.dir / (channel + "_label"));
                entry.channels.push_back({kind.name, kind.folder,
                                          label && !Trimmed(*label).empty() ? Trimmed(*label) : channel,
                                          chip.dir / file, kind.scale});
            }
        }
        chips_.push_back(std::move(entry));
    }
}

std::vector<fs::path> HwmonSensors::PowerStates(const fs::path& sys, const fs::path& chip)
{
    std::vector<fs::path> states;
    std::error_code ec;
    const fs::path devices = fs::weakly_canonical(sys / "devices", ec);
    fs::path device = fs::canonical(chip / "device", ec);
    if (ec)
        return states;
    // Up to the root of the device tree, never past it.
    for (; device.has_relative_path() && device != devices && device.string().starts_with(devices.string());
         device = device.parent_path())
        states.push_back(device / "power" / "runtime_status");
    return states;
}

bool HwmonSensors::Asleep(SysfsFiles& files, const Chip& chip)
{
    return std::any_of(chip.powerStates.begin(), chip.powerStates.end(),
                       [&](const fs::path& state) { return files.Line(state).value_or("") == "suspended"; });
}

void HwmonSensors::Add(SysfsFiles& files, SampledItems& items)
{
    auto listing = SortedNames(sys_ / "class" / "hwmon");
    if (listing != listing_)
        Rescan(files, std::move(listing));
    for (const auto& chip : chips_) {
        const bool asleep = Asleep(files, chip);
        for (const auto& channel : chip.channels) {
            const std::string name = channel.kind + "." + chip.key + "." + channel.label;
            const std::string path = "System\\" + channel.folder + "\\" + chip.folder + "\\" + channel.label;
            if (asleep) {
                AddText(items, name, path, "Sleeping");
                continue;
            }
            const auto value = files.Number(channel.input);
            if (!value)
                continue; // a sensor that cannot be read now (a chip going away)
            AddNumber(items, name, path, *value * channel.scale);
        }
    }
}

} // namespace pixtera
