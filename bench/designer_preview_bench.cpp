// SPDX-License-Identifier: MIT
// One preview tick of the designer: the six-item design composed and painted at pixel size 4,
// with an item highlighted. Target: under 1 ms per tick.

#include "canvas_painter.h"
#include "six_item_design.h"

#include <pixtera/frame_composer.h>
#include <pixtera/virtual_display.h>

#include <benchmark/benchmark.h>

namespace {

using namespace pixtera;
using namespace pixtera::bench;

void PreviewTickAtPixelSize4(benchmark::State& state)
{
    Design design = SixItemDesign();
    TableValueSource values;
    SetSixItemValues(values);
    VirtualDisplay display;
    display.Initialize(20, 4, 6, 8);
    designer::CanvasPainter painter;
    painter.SetGeometry(designer::DisplayGeometry::Virtual(20, 4));
    painter.SetPixelSize(4);
    painter.SetHighlight(designer::CellBox{0, 2, 20, 1});
    QImage canvas(800, 300, QImage::Format_RGB32);
    DWORD now = 0;
    for (auto _ : state) {
        RenderFrame(design, values, now, display);
        painter.Paint(canvas, display.frame());
        benchmark::DoNotOptimize(canvas.constBits());
        now += 30;
    }
}
BENCHMARK(PreviewTickAtPixelSize4)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
