// SPDX-License-Identifier: MIT
#include "disk_traffic.h"

#include "system_sampler.h"
#include "text_fields.h"

#include <algorithm>

namespace pixtera {

bool DiskTraffic::IsWholeDisk(const std::string& name)
{
    // Partitions have no directory of their own in /sys/block; loop and ram devices are no disks.
    const auto known = wholeDisks_.find(name);
    if (known != wholeDisks_.end())
        return known->second;
    std::error_code ec;
    const bool whole =
        name.rfind("loop", 0) != 0 && name.rfind("ram", 0) != 0 && std::filesystem::exists(sys_ / "block" / name, ec);
    return wholeDisks_[name] = whole;
}

void DiskTraffic::Add(SysfsFiles& files, SampledItems& items, double seconds)
{
    std::map<std::string, Counters> current;
    const std::string text = files.Whole(proc_ / "diskstats").value_or("");
    ForEachLine(text, [&](std::string_view line) {
        TextFields fields(line);
        fields.Next(); // major
        fields.Next(); // minor
        const std::string name(fields.Next());
        std::uint64_t value[10] = {};
        for (auto& field : value) {
            const auto number = fields.NextNumber<std::uint64_t>();
            if (!number)
                return;
            field = *number;
        }
        if (IsWholeDisk(name))
            current[name] = {value[2], value[6], value[9]};
    });
    for (const auto& [name, counters] : current) {
        const auto previous = previous_.find(name);
        const bool rated = previous != previous_.end() && seconds > 0;
        auto rate = [&](std::uint64_t before, std::uint64_t now) {
            return rated ? static_cast<double>(CounterDelta(before, now)) / seconds : 0.0;
        };
        const Counters& before = rated ? previous->second : counters;
        const std::string key = "Disk." + name + ".";
        const std::string path = "System\\Disks\\" + name + "\\";
        AddNumber(items, key + "ReadPerSecond", path + "Read per second",
                  512.0 * rate(before.sectorsRead, counters.sectorsRead));
        AddNumber(items, key + "WritePerSecond", path + "Written per second",
                  512.0 * rate(before.sectorsWritten, counters.sectorsWritten));
        AddNumber(items, key + "Busy", path + "Busy", std::min(100.0, rate(before.busyMs, counters.busyMs) / 10.0));
    }
    previous_ = std::move(current);
}

} // namespace pixtera
