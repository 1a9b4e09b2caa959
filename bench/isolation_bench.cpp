// SPDX-License-Identifier: MIT
// Plug-in calls in the service's process and through DispatchWrapper.core into a host process:
// FileData's GetValue and FileDisplay's Write of a 20x4 frame, median and 99th percentile.
// Target: an isolated GetValue under 30 us. A harness, as it times single calls.

#include "bench_sandbox.h"
#include "latency.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/dispatch_wrapper.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/plugin_info.h>

#include <fstream>

namespace {

using namespace pixtera;
using bench::Report;
using bench::Time;

ComPtr<IUnknown> Create(const char16_t* progId, bool isolated, const std::string& configuration)
{
    ComPtr<IUnknown> object;
    if (isolated) {
        CoCreateInstance(CLSID_DispatchWrapper, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.OutVoid());
        object.As<IDispatchWrapper>()->Wrap(BString(std::u16string_view(progId)).get());
    } else {
        CLSID clsid{};
        CLSIDFromProgID(progId, &clsid);
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.OutVoid());
    }
    object.As<IPluginInfo>()->Configure(BString(std::string_view(configuration)).get());
    return object;
}

} // namespace

int main(int argc, char** argv)
{
    const int calls = argc > 1 ? std::atoi(argv[1]) : 5000;
    const bench::Sandbox sandbox({}, {"DispatchWrapper", "FileData", "FileDisplay"});
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const auto values = sandbox.dir() / "values";
    std::ofstream(values) << "load=0.42\n";
    const BString frame(std::u16string(80, u'x'));
    for (const bool isolated : {false, true}) {
        auto data = Create(u"Pixtera.FileData", isolated, "path=" + values.string()).As<IDataProvider>();
        auto display = Create(u"Pixtera.FileDisplay", isolated, "path=/dev/null").As<IDisplayDriver>();
        data->Refresh();
        Report(isolated ? "GetValue, isolated:" : "GetValue, in process:", Time(calls, [&] {
                   Variant value;
                   data->GetValue(0, value.Out());
               }));
        Report(isolated ? "Write of 20x4, isolated:" : "Write of 20x4, in process:",
               Time(calls, [&] { display->Write(frame.get()); }));
    }
    CoUninitialize();
    return 0;
}
