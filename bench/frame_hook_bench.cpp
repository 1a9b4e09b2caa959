// SPDX-License-Identifier: MIT
// What libpixtera-fps.so adds to every present: the clock read and the counting (with its
// publication twice a second), against a call that does nothing. Target: under 1 us.

#include "frame_counter.h"

#include <benchmark/benchmark.h>

namespace {

using namespace pixtera::fps;

__attribute__((noinline)) void Unhooked(std::uint64_t* frames) { benchmark::DoNotOptimize(++*frames); }

void BM_UnhookedCall(benchmark::State& state)
{
    std::uint64_t frames = 0;
    for (auto _ : state)
        Unhooked(&frames);
}
BENCHMARK(BM_UnhookedCall);

void BM_HookedPresent(benchmark::State& state)
{
    FrameCounter counter("bench");
    for (auto _ : state)
        counter.Presented(MonotonicNs());
}
BENCHMARK(BM_HookedPresent);

} // namespace

BENCHMARK_MAIN();
