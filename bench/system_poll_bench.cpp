// SPDX-License-Identifier: MIT
// CPU time of one Pixtera.SystemData poll on this machine, every sensor on (CPU, memory, network,
// disks and their traffic, hwmon channels, GPUs, batteries). Target: under 200 us per poll, with
// the files kept open and re-read with pread. `--list` prints what was sampled.

#include "system_sampler.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace {

void BM_SystemPoll(benchmark::State& state)
{
    pixtera::SystemSampler sampler({}, "%Y-%m-%d %H:%M");
    std::size_t items = 0;
    for (auto _ : state) {
        items = sampler.Sample(std::chrono::steady_clock::now(), std::time(nullptr)).size();
        benchmark::DoNotOptimize(items);
    }
    state.counters["items"] = static_cast<double>(items);
    state.counters["files"] = static_cast<double>(sampler.openedFiles().size());
}
BENCHMARK(BM_SystemPoll)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--list") == 0) {
        pixtera::SystemSampler sampler({}, "%Y-%m-%d %H:%M");
        for (const auto& item : sampler.Sample(std::chrono::steady_clock::now(), std::time(nullptr))) {
            if (const double* number = std::get_if<double>(&item.value))
                std::printf("%-40s %-50s %g\n", item.name.c_str(), item.description.c_str(), *number);
            else
                std::printf("%-40s %-50s %s\n", item.name.c_str(), item.description.c_str(),
                            std::get<std::string>(item.value).c_str());
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
}
