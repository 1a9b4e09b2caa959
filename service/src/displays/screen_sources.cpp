// SPDX-License-Identifier: MIT
#include "screen_sources.h"

#include <pixtera/platform/event_log.h>

#include <algorithm>

namespace pixtera {

void ConnectScreenSources(DriverManager& drivers, DisplayManager& displays)
{
    const auto all = displays.Displays();
    std::vector<ComPtr<ManagedDisplay>> withSources;
    for (LONG index = 0; index < drivers.Size(); ++index) {
        const auto record = drivers.At(index);
        if (!record || !record->object)
            continue;
        ComPtr<IScreenSource> source;
        record->fault->Guard([&] { source = record->object.As<IScreenSource>(); });
        if (!source)
            continue;
        std::vector<ComPtr<ManagedDisplay>> served;
        for (const auto& display : all) {
            const VirtualDisplay& canvas = display->canvas();
            HRESULT hr = E_FAIL;
            record->fault->Guard([&] {
                return hr = source->AttachDisplay(display->index(), canvas.columns(), canvas.rows(), canvas.cellWidth(),
                                                  canvas.cellHeight());
            });
            if (hr == S_OK)
                served.push_back(display);
        }
        if (served.empty()) {
            LogWarning(record->fault->name() + " serves none of the displays: its screens are shown nowhere");
            continue;
        }
        std::vector<std::pair<LONG, std::shared_ptr<Event>>> wakes;
        for (const auto& display : served)
            wakes.emplace_back(display->index(), display->screensChanged());
        HRESULT advised = E_FAIL;
        record->fault->Guard([&] { return advised = source->Advise(MakeScreenSink(std::move(wakes)).get()); });
        for (const auto& display : served) {
            display->AddScreenSource(source, record->fault, SUCCEEDED(advised));
            if (std::none_of(withSources.begin(), withSources.end(),
                             [&](const auto& d) { return d.get() == display.get(); }))
                withSources.push_back(display);
        }
    }
    displays.RouteKeys(std::move(withSources));
}

} // namespace pixtera
