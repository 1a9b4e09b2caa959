// SPDX-License-Identifier: MIT
// CPU time of the service's display runtime per second of showing four 20x4 displays at the
// default update frequency (30 ms), with a six-item design: once with a design whose frame
// changes (a scroller), once with one whose frame never changes (nothing is written), with the
// refresh threads' wake-ups per second and display.
// Targets: under 0.5% of one core for four changing displays, under 0.05% for four unchanging.
//
// A harness rather than a Google Benchmark: it measures process CPU time over wall time.

#include "display_manager.h"

#include <pixtera/design_file.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/display_driver.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "six_item_design.h"

namespace {

using namespace pixtera;
using namespace pixtera::bench;

// A display that takes frames and does nothing with them, so only the service's work counts.
class NullDisplay final : public ComObject<NullDisplay, IDisplayDriver> {
public:
    HRESULT STDMETHODCALLTYPE GetColumns(LONG* v) override { return *v = 20, S_OK; }
    HRESULT STDMETHODCALLTYPE GetPixelHeight(LONG* v) override { return *v = 32, S_OK; }
    HRESULT STDMETHODCALLTYPE GetPixelWidth(LONG* v) override { return *v = 100, S_OK; }
    HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* v) override { return *v = 8, S_OK; }
    HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* v) override { return *v = 5, S_OK; }
    HRESULT STDMETHODCALLTYPE GetRows(LONG* v) override { return *v = 4, S_OK; }
    HRESULT STDMETHODCALLTYPE SetBackground(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(BSTR) override
    {
        ++writes;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* v) override { return *v = 0, S_OK; }
    std::atomic<long> writes{0};
};

// The system clock, counting the refresh threads' waits: each ends in one wake-up.
class CountingClock final : public TickClock {
public:
    DWORD Now() const override { return SystemClock().Now(); }
    std::optional<std::size_t> WaitUntilAny(std::span<Event* const> events,
                                            std::optional<DWORD> deadline) const override
    {
        waits.fetch_add(1, std::memory_order_relaxed);
        return SystemClock().WaitUntilAny(events, deadline);
    }
    mutable std::atomic<long> waits{0};
};

// The benchmarks' six-item design; its scroller steps every 30 ms, or stands still.
Design SixItems(bool changing)
{
    Design design = SixItemDesign();
    DisplayItem& scroller = design.items.at(4);
    scroller.mode = changing ? kModeRightToLeft : kModeStatic;
    scroller.scrollDelay = 30;
    return design;
}

double Run(bool changing, int seconds)
{
    const auto dir = std::filesystem::temp_directory_path() / ("pixtera-cpu-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto design = dir / "design.pxd";
    SaveDesign(SixItems(changing), design);

    TableValueSource values;
    SetSixItemValues(values);
    CountingClock clock;
    auto displays = MakeComObject<DisplayManager>(DisplayRuntime{values, clock});
    std::vector<ComPtr<NullDisplay>> drivers;
    for (int i = 0; i < 4; ++i) {
        drivers.push_back(MakeComObject<NullDisplay>());
        auto display = displays->AddDisplay(drivers.back()->AsUnknown(), {});
        display->AddQueueItem(BString(std::string_view(design.string())).get(), 0); // no configuration: not saved
        display->StartOutput();
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const long waitsBefore = clock.waits;
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const long waits = clock.waits - waitsBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    displays->StopAll();
    auto cpu = [](const rusage& r) {
        return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
               static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    long writes = 0;
    for (const auto& driver : drivers)
        writes += driver->writes;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    const double share = 100.0 * (cpu(after) - cpu(before)) / wall;
    std::printf("%-28s %6.3f %% of one core, %ld frames written, %.1f wake-ups per second and display\n",
                changing ? "four displays, changing:" : "four displays, unchanging:", share, writes,
                static_cast<double>(waits) / wall / 4.0);
    return share;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    SetLogCapture([](std::string_view) {}); // the displays have no configuration to save queues to
    Run(true, seconds);
    Run(false, seconds);
    return 0;
}
