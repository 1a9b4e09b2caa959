// SPDX-License-Identifier: MIT
// RenderFrame of a 20x4 design with six items: two static texts, two data values with
// conversion and digits, a scroller and a bar, from an in-process value source.
// Target: well under 5 microseconds per frame.

#include <pixtera/design_file.h>
#include <pixtera/frame_composer.h>

#include <benchmark/benchmark.h>

#include "six_item_design.h"

namespace {

using namespace pixtera;
using namespace pixtera::bench;

void RenderSixItemDesign(benchmark::State& state)
{
    Design design = SixItemDesign();
    TableValueSource values;
    SetSixItemValues(values);
    VirtualDisplay display;
    display.Initialize(20, 4, 5, 8);
    DWORD now = 0;
    for (auto _ : state) {
        RenderFrame(design, values, now, display);
        benchmark::DoNotOptimize(display.frame().data());
        now += 30;
    }
}
BENCHMARK(RenderSixItemDesign);

} // namespace

BENCHMARK_MAIN();
