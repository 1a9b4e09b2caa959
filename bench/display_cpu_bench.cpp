// CPU time of the service's display runtime per second of showing four 20x4 displays at the
// default update frequency (30 ms), with a six-item design: once with a design whose frame
// changes (a scroller), once with one whose frame never changes (nothing is written).
// Target: under 0.5% of one core for the four displays.
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

namespace {

using namespace pixtera;

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
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Write(BSTR) override
    {
        ++writes;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* v) override { return *v = 0, S_OK; }
    std::atomic<long> writes{0};
};

DisplayItem Item(LONG row, LONG column, LONG width)
{
    DisplayItem item;
    item.row = row;
    item.column = column;
    item.width = width;
    return item;
}

Design SixItems(bool changing)
{
    Design design;
    DisplayItem title = Item(0, 0, 20);
    title.source = kSourceStaticText;
    title.text = "System";
    title.alignment = kAlignCenter;
    DisplayItem label = Item(1, 0, 4);
    label.source = kSourceStaticText;
    label.text = "RAM";
    DisplayItem memory = Item(1, 4, 8);
    memory.name = u"Memory";
    memory.convert = true;
    memory.toUnit = kMegaBytes;
    memory.format = true;
    memory.digits = 1;
    DisplayItem network = Item(1, 12, 8);
    network.name = u"Network";
    network.convert = true;
    network.toUnit = kKiloBytes;
    network.format = true;
    network.digits = 2;
    DisplayItem scroller = Item(2, 0, 20);
    scroller.name = u"Title";
    scroller.mode = changing ? kModeRightToLeft : kModeStatic;
    scroller.scrollDelay = 30;
    DisplayItem bar = Item(3, 0, 20);
    bar.name = u"Cpu";
    bar.mode = kModeHorizontalBar;
    design.items = {title, label, memory, network, scroller, bar};
    return design;
}

double Run(bool changing, int seconds)
{
    const auto dir = std::filesystem::temp_directory_path() / ("pixtera-cpu-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto design = dir / "design.pxd";
    SaveDesign(SixItems(changing), design);

    TableValueSource values;
    values.Set(u"Memory", Variant::FromDouble(3.2e9));
    values.Set(u"Network", Variant::FromDouble(123456789));
    values.Set(u"Title", Variant::FromUtf8("Now playing: something long enough to scroll"));
    values.Set(u"Cpu", Variant::FromDouble(42));
    auto displays = MakeComObject<DisplayManager>(DisplayRuntime{values, SystemClock()});
    std::vector<ComPtr<NullDisplay>> drivers;
    for (int i = 0; i < 4; ++i) {
        drivers.push_back(MakeComObject<NullDisplay>());
        auto display = displays->AddDisplay(drivers.back()->AsUnknown(), {});
        display->AddQueueItem(BString(std::string_view(design.string())).get(), 0); // no configuration: not saved
        display->StartOutput();
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
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
    std::printf("%-28s %6.3f %% of one core, %ld frames written\n", changing ? "four displays, changing:" : "four displays, unchanging:",
                share, writes);
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
