// SPDX-License-Identifier: MIT
#pragma once
// Timing calls one by one, for the benchmarks that report a median and a 99th percentile.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace pixtera::bench {

// Prints the median and the 99th percentile; returns the median.
inline double Report(const char* what, std::vector<double> microseconds)
{
    std::sort(microseconds.begin(), microseconds.end());
    const double median = microseconds[microseconds.size() / 2];
    const double p99 = microseconds[microseconds.size() * 99 / 100];
    std::printf("%-34s median %7.1f us   p99 %7.1f us   (%zu calls)\n", what, median, p99, microseconds.size());
    return median;
}

// The time of each of `calls` calls, in microseconds.
inline std::vector<double> Time(int calls, const std::function<void()>& call)
{
    std::vector<double> samples;
    for (int i = 0; i < calls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        call();
        samples.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    return samples;
}

} // namespace pixtera::bench
