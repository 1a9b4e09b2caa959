// SPDX-License-Identifier: MIT
#pragma once
// Every hwmon channel: temperatures, fans, power, voltages and currents, named
// Temperature.<chip>.<label>, Fan.<chip>.<label>, Power..., Voltage..., Current... with the
// channel's own label (temp1_label) or its name (temp1). Chip names are the kernel's (nvme,
// k10temp, drivetemp); several chips of one name become name.1, name.2 in the order of their
// device paths, so that names survive reboots and the order hwmon numbers come in. A chip whose
// device, or a device above it (a GPU), is runtime-suspended reads "Sleeping": reading its
// sensors would wake it.

#include "sampled_item.h"
#include "sysfs_files.h"

#include <filesystem>

namespace pixtera {

class HwmonSensors {
public:
    explicit HwmonSensors(std::filesystem::path sys) : sys_(std::move(sys)) {}

    void Add(SysfsFiles& files, SampledItems& items);

private:
    struct Channel {
        std::string kind; // "Temperature", "Fan", ...
        std::string folder; // "Temperatures", "Fans", ...
        std::string label;
        std::filesystem::path input;
        double scale; // to degrees C, RPM, W, V or A
    };
    struct Chip {
        std::string key; // "nvme" or "nvme.2"
        std::string folder; // "NVMe Samsung SSD 980", "CPU"
        std::vector<Channel> channels;
        // runtime_status of the chip's device and of every device above it
        std::vector<std::filesystem::path> powerStates;
    };

    static std::vector<std::filesystem::path> PowerStates(const std::filesystem::path& sys,
                                                          const std::filesystem::path& chip);
    static bool Asleep(SysfsFiles& files, const Chip& chip);

    // Reads the chips again when hwmon's listing changed (a chip came or went).
    void Rescan(SysfsFiles& files, std::vector<std::string> listing);

    std::filesystem::path sys_;
    std::vector<std::string> listing_;
    std::vector<Chip> chips_;
};

} // namespace pixtera
