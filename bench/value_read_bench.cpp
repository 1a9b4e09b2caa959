// SPDX-License-Identifier: MIT
// Reading a cached data value by name from several threads while providers poll.
// Target: under 200 ns per read uncontended, and no reader ever waits for a slow plug-in.

#include "data_manager.h"
#include "driver_manager.h"

#include <pixtera/platform/registry.h>
#include <pixtera/sdk/data_provider.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

using namespace pixtera;

constexpr CLSID CLSID_BenchProvider{0x0BE4C0DE, 0x0001, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}};

// Ten items polled every millisecond; `slow` makes every poll take 50 ms inside the plug-in.
class BenchProvider final : public ComObject<BenchProvider, IDataProvider> {
public:
    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        if (slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ++tick_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return *mode = kUpdatePeriodic, S_OK; }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return *interval = 1, S_OK; }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override { return *count = 10, S_OK; }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override
    {
        *name = BString("Item" + std::to_string(index)).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG, BSTR* description) override
    {
        *description = SysAllocString(u"Bench\\Item");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override
    {
        value->vt = VT_R8;
        value->dblVal = tick_ + index;
        return S_OK;
    }

    static inline bool slow = false;

private:
    double tick_ = 0;
};

struct Fixture {
    Fixture()
    {
        char dir[] = "/tmp/pixtera-bench-XXXXXX";
        directory = mkdtemp(dir);
        setenv("PIXTERA_REGISTRY", (directory / "registry.db").c_str(), 1);
        RegKey key;
        key.Create(HKEY_CLASSES_ROOT, "Bench.Provider\\CLSID");
        key.SetString("", FormatGuid(CLSID_BenchProvider));
        auto factory = MakeComObject<ClassFactory<BenchProvider>>();
        CoRegisterClassObject(CLSID_BenchProvider, factory->AsUnknown(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                              &cookie);
        drivers->Add(u"Bench.Provider", u"", false);
        data->AddProvider(0);
    }
    ~Fixture()
    {
        CoRevokeClassObject(cookie);
        std::error_code ec;
        std::filesystem::remove_all(directory, ec);
    }

    std::filesystem::path directory;
    DWORD cookie = 0;
    ComPtr<DriverManager> drivers = MakeComObject<DriverManager>();
    ComPtr<DataManager> data = MakeComObject<DataManager>(drivers);
};

Fixture& SharedFixture()
{
    static Fixture fixture;
    return fixture;
}

void ReadByName(benchmark::State& state)
{
    BenchProvider::slow = state.range(0) != 0;
    DataManager& data = *SharedFixture().data;
    Variant value;
    for (auto _ : state) {
        data.ReadValue(u"Item3", value.Out());
        benchmark::DoNotOptimize(value.dblVal);
    }
}
BENCHMARK(ReadByName)->Arg(0)->Threads(1)->Threads(4)->UseRealTime();
// Every poll of the provider takes 50 ms inside the plug-in: reads must not notice.
BENCHMARK(ReadByName)->Arg(1)->Threads(1)->Threads(4)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
