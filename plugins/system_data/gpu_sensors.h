// SPDX-License-Identifier: MIT
#pragma once
// The GPUs, numbered in PCI order: GPU.<n>.Name, Busy (%), MemoryUsed and MemoryTotal (bytes),
// Temperature (degrees C), Power (W), Clock (MHz) and Fan (RPM), each where the driver offers it:
// amdgpu and the hwmon of any GPU through sysfs, Intel's current frequency, NVIDIA through NVML.
// A GPU that is runtime-suspended is never woken: its values read "Sleeping" and none of its
// sensors is read.

#include "nvml_library.h"
#include "sampled_item.h"
#include "sysfs_files.h"

#include <filesystem>
#include <memory>

namespace pixtera {

struct GpuSources {
    std::filesystem::path sys = "/sys";
    // The PCI ID databases for the GPUs' names, the first that exists.
    std::vector<std::filesystem::path> pciIds{"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids"};
    std::string nvml = "libnvidia-ml.so.1";
};

class GpuSensors {
public:
    explicit GpuSensors(GpuSources sources) : sources_(std::move(sources)) {}

    void Add(SysfsFiles& files, SampledItems& items);

private:
    struct Gpu {
        std::string address; // PCI, "0000:03:00.0"
        std::filesystem::path device; // its directory in /sys
        std::filesystem::path card; // /sys/class/drm/cardN
        std::filesystem::path hwmon; // the device's hwmon, when it has one
        std::string driver;
        std::string name;
    };

    void Rescan(SysfsFiles& files, std::vector<std::string> listing);
    std::string NameOf(SysfsFiles& files, const Gpu& gpu) const;
    void AddAwake(SysfsFiles& files, const Gpu& gpu, const std::string& key, const std::string& path,
                  SampledItems& items);

    GpuSources sources_;
    std::vector<std::string> listing_;
    std::vector<Gpu> gpus_;
    std::unique_ptr<NvmlLibrary> nvml_;
    bool nvmlTried_ = false;
};

} // namespace pixtera
