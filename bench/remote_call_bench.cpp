// SPDX-License-Identifier: MIT
// Latency of the calls the designer makes on every timer tick, through the session bus:
// IDataCollection.Value by name and IDisplayDriver.Write of a 20x4 frame, beside the bus's own
// round trip to the service (org.freedesktop.DBus.Peer.Ping). Reports the median and the 99th
// percentile. Target: median under 150 microseconds each.
//
// A harness: it starts a private bus and a service of its own in a temporary directory.

#include <pixtera/platform/com.h>
#include <pixtera/platform/module.h>
#include <pixtera/remote/activation.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/service_interfaces.h>

#include "bench_sandbox.h"
#include "latency.h"

#include <sdbus-c++/sdbus-c++.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace pixtera;
using bench::Report;
using bench::Time;
} // namespace

int main(int argc, char** argv)
{
    const int calls = argc > 1 ? std::atoi(argv[1]) : 2000;
    const bench::Sandbox sandbox({}, {"SystemData", "FileDisplay"});
    std::ofstream(sandbox.configuration())
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path=/dev/null\">"
           "<display active=\"yes\"/></driver><driver clsid=\"Pixtera.SystemData\"><data active=\"yes\"/></driver>"
           "</drivers></PixteraConfiguration>";

    InstallRemoteActivation();
    {
        ComPtr<IManager> manager;
        if (FAILED(CreateInstance(CLSID_Manager, CLSCTX_LOCAL_SERVER, manager))) {
            std::fprintf(stderr, "the service did not start\n");
            return 1;
        }
        ComPtr<IDataManager> data;
        manager->GetDataManager(data.Out());
        ComPtr<IDataCollection> collection;
        data->GetDataCollection(collection.Out());
        ComPtr<IDisplayManager> displays;
        manager->GetDisplayManager(displays.Out());
        ComPtr<IManagedDisplay> display;
        displays->Item(0, display.Out());
        display->StopOutput(); // the preview owns the display, as in the designer
        ComPtr<IDisplayDriver> driver;
        display->GetDriver(driver.Out());

        const Variant key = Variant::FromUtf8("CPU.Total");
        const BString frame(
            std::string_view("Pixtera remote call benchmark: a twenty by four frame of text.  12345678"));
        auto connection = sdbus::createSessionBusConnection();
        auto peer = sdbus::createProxy(*connection, bus::kServiceName, bus::kManagerPath);
        const double ping =
            Report("Peer.Ping (the bus's round trip):",
                   Time(calls, [&] { peer->callMethod("Ping").onInterface("org.freedesktop.DBus.Peer"); }));
        const double valueCall = Report("IDataCollection.Value by name:", Time(calls, [&] {
                                            Variant value;
                                            collection->Value(key, value.Out());
                                        }));
        const double writeCall =
            Report("IDisplayDriver.Write of 20x4:", Time(calls, [&] { driver->Write(frame.get()); }));
        std::printf("ratio to the bus's round trip: Value %.2f, Write %.2f\n", valueCall / ping, writeCall / ping);
        manager->Shutdown();
    }
    sleep(3); // the service ends before its bus does
    return 0;
}
