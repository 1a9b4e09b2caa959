#pragma once
// Samples the system's state from /proc and /sys (or copies of them) into named items. Rates are
// computed between two samples.

#include <chrono>
#include <ctime>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace pixtera {

struct SampledItem {
    std::string name;        // the item's key, e.g. "CPU.Total"
    std::string description; // a backslash path for the designer's tree, e.g. "System\CPU\Total"
    std::variant<double, std::string> value;
};

class SystemSampler {
public:
    struct Roots {
        std::filesystem::path proc = "/proc";
        std::filesystem::path sys = "/sys";
    };

    SystemSampler(Roots roots, std::string dateTimeFormat);

    std::vector<SampledItem> Sample(std::chrono::steady_clock::time_point now, std::time_t wallClock);

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
    void AddLoad(std::vector<SampledItem>& items) const;
    void AddMemory(std::vector<SampledItem>& items) const;
    void AddNetwork(std::vector<SampledItem>& items, double seconds);
    void AddDisks(std::vector<SampledItem>& items) const;
    void AddUptime(std::vector<SampledItem>& items) const;
    void AddTimes(std::vector<SampledItem>& items, std::time_t wallClock) const;
    void AddHost(std::vector<SampledItem>& items) const;
    void AddTemperatures(std::vector<SampledItem>& items) const;

    Roots roots_;
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
