// SPDX-License-Identifier: MIT
#include "system_sampler.h"

#include "batteries.h"
#include "text_fields.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace pixtera {
namespace {

constexpr double kKiB = 1024.0;

double Percent(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

// Numbered entries of a directory (thermal_zone0, hwmon3, ...) in numeric order.
std::vector<std::filesystem::path> Numbered(const std::filesystem::path& dir, const std::string& prefix)
{
    std::vector<std::pair<int, std::filesystem::path>> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0)
            continue;
        try {
            found.emplace_back(std::stoi(name.substr(prefix.size())), entry.path());
        } catch (...) {
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::filesystem::path> paths;
    for (auto& [number, path] : found)
        paths.push_back(std::move(path));
    return paths;
}

std::string Duration(double seconds)
{
    const auto total = static_cast<long long>(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%lldd %02lld:%02lld:%02lld", total / 86400, total / 3600 % 24, total / 60 % 60,
                  total % 60);
    return text;
}

} // namespace

std::uint64_t CounterDelta(std::uint64_t previous, std::uint64_t current)
{
    if (current >= previous)
        return current - previous;
    if (previous <= 0xFFFFFFFFull)
        return current + (0x100000000ull - previous);
    return 0;
}

SystemSampler::SystemSampler(Roots roots, std::string dateTimeFormat)
    : roots_(std::move(roots)),
      hwmon_(roots_.sys),
      gpus_({roots_.sys, roots_.pciIds, roots_.nvml}),
      diskTraffic_(roots_.proc, roots_.sys),
      dateTimeFormat_(std::move(dateTimeFormat))
{
}

std::vector<SampledItem> SystemSampler::Sample(std::chrono::steady_clock::time_point now, std::time_t wallClock)
{
    const double seconds = sampled_ ? std::chrono::duration<double>(now - last_).count() : 0.0;
    std::vector<SampledItem> items;
    AddCpu(items);
    AddLoad(items);
    AddMemory(items);
    AddNetwork(items, seconds);
    AddDiskSpace(items);
    diskTraffic_.Add(files_, items, seconds);
    AddUptime(items);
    AddTimes(items, wallClock);
    AddHost(items);
    AddThermalZones(items);
    hwmon_.Add(files_, items);
    gpus_.Add(files_, items);
    AddBatteries(roots_.sys, files_, items);
    last_ = now;
    sampled_ = true;
    return items;
}

void SystemSampler::AddCpu(std::vector<SampledItem>& items)
{
    const std::string text = files_.Whole(roots_.proc / "stat").value_or("");
    std::string_view rest = text;
    while (rest.starts_with("cpu")) {
        const auto end = std::min(rest.find('\n'), rest.size());
        TextFields fields(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const std::string label(fields.Next());
        CpuTimes times;
        for (int field = 0; field < 8; ++field) {
            const auto value = fields.NextNumber<std::uint64_t>();
            if (!value)
                break;
            times.total += *value;
            if (field != 3 && field != 4) // idle and iowait
                times.busy += *value;
        }
        // The first sample shows the average since boot; later ones the time between samples.
        const CpuTimes previous = cpu_.count(label) ? cpu_[label] : CpuTimes{};
        const double busy = static_cast<double>(CounterDelta(previous.busy, times.busy));
        const double total = static_cast<double>(CounterDelta(previous.total, times.total));
        cpu_[label] = times;
        const bool all = label == "cpu";
        const std::string core = all ? "" : label.substr(3);
        AddNumber(items, all ? "CPU.Total" : "CPU.Core" + core,
                  all ? "System\\CPU\\Total" : "System\\CPU\\Core " + core, std::min(100.0, Percent(busy, total)));
    }
}

void SystemSampler::AddLoad(std::vector<SampledItem>& items)
{
    std::istringstream fields(files_.Line(roots_.proc / "loadavg").value_or(""));
    double load = 0;
    for (const char* minutes : {"1", "5", "15"}) {
        if (!(fields >> load))
            return;
        AddNumber(items, std::string("Load.") + minutes, std::string("System\\Load\\") + minutes + " minutes", load);
    }
}

void SystemSampler::AddMemory(std::vector<SampledItem>& items)
{
    std::map<std::string, double> kib;
    ForEachLine(files_.Whole(roots_.proc / "meminfo").value_or(""), [&](std::string_view line) {
        TextFields fields(line);
        const std::string_view key = fields.Next();
        const auto value = fields.NextNumber<double>();
        if (value && key.ends_with(':'))
            kib[std::string(key.substr(0, key.size() - 1))] = *value;
    });
    if (!kib.count("MemTotal"))
        return;
    const double total = kib["MemTotal"] * kKiB;
    const double available = (kib.count("MemAvailable") ? kib["MemAvailable"] : kib["MemFree"]) * kKiB;
    AddNumber(items, "Memory.Total", "System\\Memory\\Total", total);
    AddNumber(items, "Memory.Used", "System\\Memory\\Used", total - available);
    AddNumber(items, "Memory.Free", "System\\Memory\\Free", available);
    AddNumber(items, "Memory.UsedPercent", "System\\Memory\\Used percent", Percent(total - available, total));
    const double swapTotal = kib["SwapTotal"] * kKiB;
    const double swapFree = kib["SwapFree"] * kKiB;
    AddNumber(items, "Swap.Total", "System\\Swap\\Total", swapTotal);
    AddNumber(items, "Swap.Used", "System\\Swap\\Used", swapTotal - swapFree);
    AddNumber(items, "Swap.Free", "System\\Swap\\Free", swapFree);
    AddNumber(items, "Swap.UsedPercent", "System\\Swap\\Used percent", Percent(swapTotal - swapFree, swapTotal));
}

void SystemSampler::AddNetwork(std::vector<SampledItem>& items, double seconds)
{
    std::map<std::string, Counters> current;
    ForEachLine(files_.Whole(roots_.proc / "net" / "dev").value_or(""), [&](std::string_view line) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            return; // the two header lines
        std::string_view name = line.substr(0, colon);
        name.remove_prefix(std::min(name.find_first_not_of(' '), name.size()));
        TextFields fields(line.substr(colon + 1));
        Counters counters;
        for (int field = 0; field < 9; ++field) {
            const auto value = fields.NextNumber<std::uint64_t>();
            if (!value)
                break;
            if (field == 0)
                counters.received = *value;
            else if (field == 8)
                counters.sent = *value;
        }
        current[std::string(name)] = counters;
    });
    Counters all;
    double allIn = 0;
    double allOut = 0;
    for (const auto& [name, counters] : current) {
        const auto previous = network_.find(name);
        const bool rated = previous != network_.end() && seconds > 0;
        const double inRate =
            rated ? static_cast<double>(CounterDelta(previous->second.received, counters.received)) / seconds : 0;
        const double outRate =
            rated ? static_cast<double>(CounterDelta(previous->second.sent, counters.sent)) / seconds : 0;
        const std::string key = "Network." + name + ".";
        const std::string path = "System\\Network\\" + name + "\\";
        AddNumber(items, key + "Received", path + "Received", static_cast<double>(counters.received));
        AddNumber(items, key + "Sent", path + "Sent", static_cast<double>(counters.sent));
        AddNumber(items, key + "ReceivedPerSecond", path + "Received per second", inRate);
        AddNumber(items, key + "SentPerSecond", path + "Sent per second", outRate);
        if (name != "lo") {
            all.received += counters.received;
            all.sent += counters.sent;
            allIn += inRate;
            allOut += outRate;
        }
    }
    // All interfaces but the loopback together, for designs that should work on any machine.
    AddNumber(items, "Network.All.Received", "System\\Network\\All\\Received", static_cast<double>(all.received));
    AddNumber(items, "Network.All.Sent", "System\\Network\\All\\Sent", static_cast<double>(all.sent));
    AddNumber(items, "Network.All.ReceivedPerSecond", "System\\Network\\All\\Received per second", allIn);
    AddNumber(items, "Network.All.SentPerSecond", "System\\Network\\All\\Sent per second", allOut);
    network_ = std::move(current); // interfaces that vanished are forgotten
}

void SystemSampler::AddDiskSpace(std::vector<SampledItem>& items)
{
    std::istringstream in(files_.Whole(roots_.proc / "mounts").value_or(""));
    std::vector<std::string> seen;
    for (std::string line; std::getline(in, line);) {
        TextFields fields(line);
        const std::string_view device = fields.Next();
        const std::string mount = UnescapedMountField(fields.Next());
        if (mount.empty() || device.rfind("/dev/", 0) != 0)
            continue; // only file systems on block devices
        if (std::find(seen.begin(), seen.end(), mount) != seen.end())
            continue;
        seen.push_back(mount);
        struct statvfs usage {};
        if (statvfs(mount.c_str(), &usage) != 0)
            continue;
        const double block = static_cast<double>(usage.f_frsize);
        const double total = static_cast<double>(usage.f_blocks) * block;
        const double free = static_cast<double>(usage.f_bavail) * block;
        const double used = total - static_cast<double>(usage.f_bfree) * block;
        const std::string key = "Disk." + mount + ".";
        const std::string path = "System\\Disks\\" + mount + "\\";
        AddNumber(items, key + "Total", path + "Total", total);
        AddNumber(items, key + "Used", path + "Used", used);
        AddNumber(items, key + "Free", path + "Free", free);
        AddNumber(items, key + "UsedPercent", path + "Used percent", Percent(used, used + free));
    }
}

void SystemSampler::AddUptime(std::vector<SampledItem>& items)
{
    std::istringstream fields(files_.Line(roots_.proc / "uptime").value_or(""));
    double seconds = 0;
    if (!(fields >> seconds))
        return;
    AddNumber(items, "Uptime", "System\\Uptime\\Seconds", seconds);
    AddText(items, "Uptime.Text", "System\\Uptime\\Text", Duration(seconds));
}

void SystemSampler::AddTimes(std::vector<SampledItem>& items, std::time_t wallClock) const
{
    std::tm local{};
    localtime_r(&wallClock, &local);
    auto format = [&](const std::string& pattern) {
        char text[256];
        const std::size_t length = std::strftime(text, sizeof text, pattern.c_str(), &local);
        return std::string(text, length);
    };
    AddText(items, "Time", "System\\Date and time\\Time", format("%H:%M:%S"));
    AddText(items, "Time.Short", "System\\Date and time\\Time (hours and minutes)", format("%H:%M"));
    AddText(items, "Date", "System\\Date and time\\Date", format("%Y-%m-%d"));
    AddText(items, "Weekday", "System\\Date and time\\Weekday", format("%A"));
    AddText(items, "DateTime", "System\\Date and time\\Formatted", format(dateTimeFormat_));
}

void SystemSampler::AddHost(std::vector<SampledItem>& items)
{
    const std::string host = files_.Line(roots_.proc / "sys" / "kernel" / "hostname").value_or("");
    if (!host.empty())
        AddText(items, "HostName", "System\\Host name", host);
}

void SystemSampler::AddThermalZones(std::vector<SampledItem>& items)
{
    for (const auto& zone : Numbered(roots_.sys / "class" / "thermal", "thermal_zone")) {
        const auto millidegrees = files_.Number(zone / "temp");
        if (!millidegrees)
            continue;
        const std::string label =
            files_.Line(zone / "type").value_or("zone") + "." + zone.filename().string().substr(12);
        AddNumber(items, "Temperature." + label, "System\\Temperatures\\Zones\\" + label, *millidegrees / 1000.0);
    }
}

} // namespace pixtera
