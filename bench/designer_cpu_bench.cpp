// SPDX-License-Identifier: MIT
// CPU of the designer and the service together while the designer previews a design on a file
// display: `designer-cpu-bench [SECONDS [DESIGN]]`, by default 20 s of the CPU and memory demo.
// Targets: under 0.5 % of one core together for the demo, under 1 % for bench/ten-items.pxd.
//
// A harness: a private bus, the service and an offscreen designer in a sandbox of their own.

#include "bench_sandbox.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using namespace pixtera::bench;

// User plus system CPU time of a process so far, in seconds.
double CpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The process that owns the service's name on the sandbox's bus: the one this run started, never
// another user's or another test's pixtera2.
pid_t ServicePid()
{
    FILE* answer = popen("busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus "
                         "GetConnectionUnixProcessID s org.pixtera.Pixtera2 2>/dev/null",
                         "r");
    if (!answer)
        return -1;
    unsigned pid = 0;
    const int read = std::fscanf(answer, "u %u", &pid);
    pclose(answer);
    return read == 1 && pid > 0 ? static_cast<pid_t>(pid) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::string design = argc > 2 ? argv[2] : PIXTERA_EXAMPLES_DIR "/cpu-memory.pxd";
    const Sandbox sandbox({"pixtera-designer"}, {"FileDisplay", "SystemData"});
    std::ofstream(sandbox.configuration())
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
        << (sandbox.dir() / "lcd").string() << "\"><display active=\"yes\"><queue><queueitem Filename=\"" << design
        << "\" Runtime=\"6\"/></queue></display></driver>"
        << "<driver clsid=\"Pixtera.SystemData\" configuration=\"interval=1000\"><data active=\"yes\"/></driver>"
        << "</drivers></PixteraConfiguration>";
    const pid_t designer = Spawn({(sandbox.bin() / "pixtera-designer").string()}, {"QT_QPA_PLATFORM=offscreen"});
    std::this_thread::sleep_for(std::chrono::seconds(3)); // start-up is not the steady state
    const pid_t service = ServicePid();
    if (designer < 0 || service < 0) {
        std::fprintf(stderr, "the designer or the service did not start\n");
        return 1;
    }
    const double designerBefore = CpuSeconds(designer);
    const double serviceBefore = CpuSeconds(service);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double designerUsed = CpuSeconds(designer) - designerBefore;
    const double serviceUsed = CpuSeconds(service) - serviceBefore;
    std::printf(
        "designer + service while previewing: %.2f %% of one core over %d s (designer %.2f %%, service %.2f %%)\n",
        100.0 * (designerUsed + serviceUsed) / seconds, seconds, 100.0 * designerUsed / seconds,
        100.0 * serviceUsed / seconds);
    kill(designer, SIGTERM);
    waitpid(designer, nullptr, 0);
    kill(service, SIGTERM);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return 0;
}
