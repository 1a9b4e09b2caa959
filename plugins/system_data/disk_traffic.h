// SPDX-License-Identifier: MIT
#pragma once
// The traffic of whole disks (nvme0n1, sda; not their partitions) from /proc/diskstats:
// Disk.<device>.ReadPerSecond and WritePerSecond (bytes/s) and Busy (% of the time with I/O in
// flight), between two samples.

#include "sampled_item.h"
#include "sysfs_files.h"

#include <cstdint>
#include <filesystem>
#include <map>

namespace pixtera {

class DiskTraffic {
public:
    DiskTraffic(std::filesystem::path proc, std::filesystem::path sys) : proc_(std::move(proc)), sys_(std::move(sys)) {}

    void Add(SysfsFiles& files, SampledItems& items, double seconds);

private:
    struct Counters {
        std::uint64_t sectorsRead = 0;
        std::uint64_t sectorsWritten = 0;
        std::uint64_t busyMs = 0;
    };

    bool IsWholeDisk(const std::string& name);

    std::filesystem::path proc_;
    std::filesystem::path sys_;
    std::map<std::string, Counters> previous_;
    std::map<std::string, bool> wholeDisks_; // by name: a device keeps its kind while its name lasts
};

} // namespace pixtera
