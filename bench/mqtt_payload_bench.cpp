// SPDX-License-Identifier: MIT
// Reading an MQTT payload's JSON fields: wide objects (limits raised so the reading is measured,
// not the refusal) and deep arrays. Target: linear in the payload's length (BigO "N"), and a
// wide object refused under the usual limits in microseconds, however wide.

#include <pixtera/mqtt/payload_values.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

using namespace pixtera::mqtt;

std::string WideObject(std::int64_t fields)
{
    std::string text = "{";
    for (std::int64_t i = 0; i < fields; ++i)
        text += (i ? ",\"f" : "\"f") + std::to_string(i) + "\":" + std::to_string(i);
    return text + "}";
}

void ReadWideObject(benchmark::State& state)
{
    const std::string payload = WideObject(state.range(0));
    const JsonLimits unlimited{.longestPayload = payload.size(), .mostFields = payload.size()};
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadJsonFields(payload, unlimited));
    state.SetComplexityN(static_cast<std::int64_t>(payload.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(ReadWideObject)->RangeMultiplier(4)->Range(1 << 10, 300'000)->Complexity(benchmark::oN);

void ReadDeepArray(benchmark::State& state)
{
    const auto depth = static_cast<std::size_t>(state.range(0));
    const std::string payload = "{\"a\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
    const JsonLimits unlimited{.longestPayload = payload.size()};
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadJsonFields(payload, unlimited));
    state.SetComplexityN(static_cast<std::int64_t>(payload.size()));
}
BENCHMARK(ReadDeepArray)->RangeMultiplier(4)->Range(1 << 10, 1 << 20)->Complexity(benchmark::oN);

// 15,000 fields (200 KB): too many; 300,000 (3.5 MB): too long.
void RefuseWideObject(benchmark::State& state)
{
    const std::string payload = WideObject(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadJsonFields(payload));
}
BENCHMARK(RefuseWideObject)->Arg(15'000)->Arg(300'000);

} // namespace

BENCHMARK_MAIN();
