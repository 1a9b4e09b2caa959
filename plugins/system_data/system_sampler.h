// SPDX-License-Identifier: MIT
#pragma once
// Samples the system's state from /proc and /sys (or copies of them) into named items. Rates are
// computed between two samples.

#include "disk_traffic.h"
#include "gpu_sensors.h"
#include "hwmon_sensors.h"
#include "sampled_item.h"
#include "sysfs_files.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace pixtera {

class SystemSampler {
public:
    struct Roots {
        std::filesystem::path proc = "/proc";
        std::filesystem::path sys = "/sys";
        std::vector<std::filesystem::path> pciIds = GpuSources{}.pciIds;
        std::string nvml = GpuSources{}.nvml;
    };

    SystemSampler(Roots roots, std::string dateTimeFormat);

    std::vector<SampledItem> Sample(std::chrono::steady_clock::time_point now, std::time_t wallClock);

    // Every file opened so far.
    const std::set<std::string>& openedFiles() const { return files_.opened(); }

private:
    struct CpuTimes {
        std::uint64_t busy = 0;
        std::uint64_t total = 0;
    };
    struct Counters {
        std::uint64_t received = 0;
        std::uint64_t sent = 0;
    };

    void AddCpu(std::vector<SampledItem>& items);
    void AddLoad(std::vector<SampledItem>& items);
    void AddMemory(std::vector<SampledItem>& items);
    void AddNetwork(std::vector<SampledItem>& items, double seconds);
    void AddDiskSpace(std::vector<SampledItem>& items);
    void AddUptime(std::vector<SampledItem>& items);
    void AddTimes(std::vector<SampledItem>& items, std::time_t wallClock) const;
    void AddHost(std::vector<SampledItem>& items);
    void AddThermalZones(std::vector<SampledItem>& items);

    Roots roots_;
    SysfsFiles files_;
    HwmonSensors hwmon_;
    GpuSensors gpus_;
    DiskTraffic diskTraffic_;
    std::string dateTimeFormat_;
    std::map<std::string, CpuTimes> cpu_;
    std::map<std::string, Counters> network_;
    std::chrono::steady_clock::time_point last_{};
    bool sampled_ = false;
};

// The difference of two readings of a counter that may wrap at 32 bits; a counter that went
// back without wrapping (a reset) counts as no change.
std::uint64_t CounterDelta(std::uint64_t previous, std::uint64_t current);

} // namespace pixtera
