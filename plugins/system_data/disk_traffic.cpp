#include "disk_traffic.h"

#include "system_sampler.h"

#include <algorithm>
#include <sstream>

namespace pixtera {

void DiskTraffic::Add(SysfsFiles& files, SampledItems& items, double seconds)
{
    std::map<std::string, Counters> current;
    std::istringstream lines(files.Whole(proc_ / "diskstats").value_or(""));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        unsigned major = 0, minor = 0;
        std::string name;
        std::uint64_t value[10] = {};
        if (!(fields >> major >> minor >> name))
            continue;
        int read = 0;
        while (read < 10 && fields >> value[read])
            ++read;
        // Partitions and devices that are no disks (ram, loop without backing) are left out:
        // only names with a directory in /sys/block and real traffic or size count.
        std::error_code ec;
        if (read < 10 || !std::filesystem::exists(sys_ / "block" / name, ec) || name.rfind("loop", 0) == 0 ||
            name.rfind("ram", 0) == 0)
            continue;
        current[name] = {value[2], value[6], value[9]};
    }
    for (const auto& [name, counters] : current) {
        const auto previous = previous_.find(name);
        const bool rated = previous != previous_.end() && seconds > 0;
        auto rate = [&](std::uint64_t before, std::uint64_t now) {
            return rated ? static_cast<double>(CounterDelta(before, now)) / seconds : 0.0;
        };
        const Counters& before = rated ? previous->second : counters;
        const std::string key = "Disk." + name + ".";
        const std::string path = "System\\Disks\\" + name + "\\";
        AddNumber(items, key + "ReadPerSecond", path + "Read per second", 512.0 * rate(before.sectorsRead, counters.sectorsRead));
        AddNumber(items, key + "WritePerSecond", path + "Written per second",
                  512.0 * rate(before.sectorsWritten, counters.sectorsWritten));
        AddNumber(items, key + "Busy", path + "Busy", std::min(100.0, rate(before.busyMs, counters.busyMs) / 10.0));
    }
    previous_ = std::move(current);
}

} // namespace pixtera
