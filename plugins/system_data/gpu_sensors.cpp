// SPDX-License-Identifier: MIT
#include "gpu_sensors.h"

#include <algorithm>
#include <fstream>
#include <regex>

namespace pixtera {
namespace {

namespace fs = std::filesystem;

// Each value's name and its label in the designer's tree.
constexpr std::pair<const char*, const char*> kValues[] = {
    {"Busy", "Busy"},
    {"MemoryUsed", "Memory used"},
    {"MemoryTotal", "Memory total"},
    {"Temperature", "Temperature"},
    {"Power", "Power"},
    {"Clock", "Clock"},
    {"Fan", "Fan"},
};

std::vector<std::string> Cards(const fs::path& drm)
{
    static const std::regex card(R"(card\d+)"); // not the connectors (card0-DP-1)
    std::vector<std::string> names = SortedNames(drm);
    std::erase_if(names, [](const std::string& name) { return !std::regex_match(name, card); });
    return names;
}

std::string Hex4(const std::optional<std::string>& id)
{
    if (!id || id->size() < 6)
        return "";
    return id->substr(2, 4); // "0x1002" -> "1002"
}

// The vendor's short name and the device's marketing name, from pci.ids: "AMD" and
// "Radeon RX 6600/6600 XT/6600M" (the bracketed part of "Navi 23 [Radeon RX 6600/6600 XT/6600M]").
std::string PciName(const fs::path& database, const std::string& vendor, const std::string& device)
{
    std::ifstream in(database);
    std::string vendorName;
    bool inVendor = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] != '\t') {
            if (inVendor)
                break;
            inVendor = line.compare(0, 4, vendor) == 0;
            if (inVendor)
                vendorName = line.size() > 6 ? line.substr(6) : "";
            continue;
        }
        if (!inVendor || line.size() < 7 || line[1] == '\t' || line.compare(1, 4, device) != 0)
            continue;
        std::string name = line.substr(7);
        if (const auto open = name.find('['), close = name.rfind(']'); open != std::string::npos && close > open)
            name = name.substr(open + 1, close - open - 1);
        const std::string shortVendor = vendor == "1002"   ? "AMD"
                                        : vendor == "10de" ? "NVIDIA"
                                        : vendor == "8086" ? "Intel"
                                                           : vendorName;
        return shortVendor + " " + name;
    }
    return "";
}

} // namespace

std::string GpuSensors::NameOf(SysfsFiles& files, const Gpu& gpu) const
{
    const std::string vendor = Hex4(files.Line(gpu.device / "vendor"));
    const std::string device = Hex4(files.Line(gpu.device / "device"));
    for (const auto& database : sources_.pciIds) {
        std::error_code ec;
        if (!vendor.empty() && fs::is_regular_file(database, ec)) {
            const std::string name = PciName(database, vendor, device);
            if (!name.empty())
                return name;
            break;
        }
    }
    return (gpu.driver.empty() ? "GPU" : gpu.driver) + " " + gpu.address;
}

void GpuSensors::Rescan(SysfsFiles& files, std::vector<std::string> listing)
{
    listing_ = std::move(listing);
    gpus_.clear();
    const fs::path drm = sources_.sys / "class" / "drm";
    for (const auto& card : listing_) {
        Gpu gpu;
        gpu.card = drm / card;
        std::error_code ec;
        gpu.device = fs::canonical(gpu.card / "device", ec);
        if (ec)
            continue;
        gpu.address = gpu.device.filename().string();
        if (std::any_of(gpus_.begin(), gpus_.end(), [&](const Gpu& other) { return other.address == gpu.address; }))
            continue;
        gpu.driver = fs::read_symlink(gpu.device / "driver", ec).filename().string();
        for (const auto& entry : fs::directory_iterator(gpu.device / "hwmon", ec)) {
            gpu.hwmon = entry.path();
            break;
        }
        gpu.name = NameOf(files, gpu);
        gpus_.push_back(std::move(gpu));
    }
    std::sort(gpus_.begin(), gpus_.end(), [](const Gpu& a, const Gpu& b) { return a.address < b.address; });
}

void GpuSensors::AddAwake(SysfsFiles& files, const Gpu& gpu, const std::string& key, const std::string& path,
                          SampledItems& items)
{
    auto add = [&](const char* value, const char* label, std::optional<double> number, double scale = 1.0) {
        if (number)
            AddNumber(items, key + value, path + label, *number * scale);
    };
    std::string name = gpu.name;
    if (gpu.driver == "nvidia") {
        if (!nvmlTried_) {
            nvml_ = NvmlLibrary::Load(sources_.nvml);
            nvmlTried_ = true;
        }
        if (nvml_) {
            const NvmlReading reading = nvml_->Read(gpu.address);
            name = reading.name.value_or(name);
            add("Busy", "Busy", reading.busy);
            add("MemoryUsed", "Memory used", reading.memoryUsed);
            add("MemoryTotal", "Memory total", reading.memoryTotal);
            add("Temperature", "Temperature", reading.temperature);
            add("Power", "Power", reading.power);
            add("Clock", "Clock", reading.clock);
        }
    }
    AddText(items, key + "Name", path + "Name", name);
    if (gpu.driver == "amdgpu") {
        add("Busy", "Busy", files.Number(gpu.device / "gpu_busy_percent"));
        add("MemoryUsed", "Memory used", files.Number(gpu.device / "mem_info_vram_used"));
        add("MemoryTotal", "Memory total", files.Number(gpu.device / "mem_info_vram_total"));
    }
    if (gpu.driver == "i915")
        add("Clock", "Clock", files.Number(gpu.card / "gt_cur_freq_mhz"));
    if (gpu.driver == "xe")
        add("Clock", "Clock", files.Number(gpu.device / "tile0" / "gt0" / "freq0" / "cur_freq"));
    if (!gpu.hwmon.empty() && gpu.driver != "nvidia") {
        add("Temperature", "Temperature", files.Number(gpu.hwmon / "temp1_input"), 0.001);
        auto power = files.Number(gpu.hwmon / "power1_average");
        add("Power", "Power", power ? power : files.Number(gpu.hwmon / "power1_input"), 0.000001);
        add("Clock", "Clock", files.Number(gpu.hwmon / "freq1_input"), 0.000001);
        add("Fan", "Fan", files.Number(gpu.hwmon / "fan1_input"));
    }
}

void GpuSensors::Add(SysfsFiles& files, SampledItems& items)
{
    auto listing = Cards(sources_.sys / "class" / "drm");
    if (listing != listing_)
        Rescan(files, std::move(listing));
    for (std::size_t index = 0; index < gpus_.size(); ++index) {
        const Gpu& gpu = gpus_[index];
        const std::string key = "GPU." + std::to_string(index) + ".";
        const std::string path = "System\\GPUs\\GPU " + std::to_string(index) + "\\";
        // Reading any sensor of a suspended GPU would wake it, and cost watts.
        if (files.Line(gpu.device / "power" / "runtime_status").value_or("") == "suspended") {
            AddText(items, key + "Name", path + "Name", gpu.name);
            for (const auto& [value, label] : kValues)
                AddText(items, key + value, path + label, "Sleeping");
            continue;
        }
        AddAwake(files, gpu, key, path, items);
    }
}

} // namespace pixtera
