// Latency of the calls the designer makes on every timer tick, through the session bus:
// IDataCollection.Value by name and IDisplayDriver.Write of a 20x4 frame. Reports the median and
// the 99th percentile. Target: median under 150 microseconds each.
//
// A harness: it starts a private bus and a service of its own in a temporary directory.

#include <pixtera/platform/com.h>
#include <pixtera/platform/module.h>
#include <pixtera/remote/activation.h>
#include <pixtera/service_interfaces.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace pixtera;
namespace fs = std::filesystem;

int Run(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// dbus-daemon on a private address, stopped when the harness ends.
pid_t StartBus(const fs::path& dir)
{
    const auto address = "unix:path=" + (dir / "bus").string();
    pid_t child = 0;
    std::vector<std::string> argv{"/usr/bin/dbus-daemon", "--session", "--nofork", "--address=" + address};
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn(&child, args[0], nullptr, nullptr, args.data(), environ);
    for (int i = 0; i < 200 && !fs::exists(dir / "bus"); ++i)
        usleep(10000);
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    return child;
}

void Report(const char* what, std::vector<double> microseconds)
{
    std::sort(microseconds.begin(), microseconds.end());
    const double median = microseconds[microseconds.size() / 2];
    const double p99 = microseconds[microseconds.size() * 99 / 100];
    std::printf("%-34s median %7.1f us   p99 %7.1f us   (%zu calls)\n", what, median, p99, microseconds.size());
}

std::vector<double> Time(int calls, const std::function<void()>& call)
{
    std::vector<double> samples;
    for (int i = 0; i < calls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        call();
        samples.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    return samples;
}

} // namespace

int main(int argc, char** argv)
{
    const int calls = argc > 1 ? std::atoi(argv[1]) : 2000;
    char pattern[] = "/tmp/pixtera-remote-bench-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    setenv("PIXTERA_REGISTRY", (dir / "registry.db").c_str(), 1);
    setenv("PIXTERA_RUNTIME_DIR", (dir / "run").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const pid_t bus = StartBus(dir);

    const fs::path built = PIXTERA_BIN_DIR;
    fs::create_directories(dir / "bin");
    fs::copy_file(built / "pixtera2", dir / "bin" / "pixtera2");
    fs::create_directory_symlink(built.parent_path() / "lib", dir / "lib");
    Run({(dir / "bin" / "pixtera2").string(), "-RegServer"});
    for (const char* plugin : {"SystemData.so", "FileDisplay.so"})
        Run({(built / "pixtera-reg").string(), "register", (built / "plugins" / plugin).string()});
    std::ofstream(dir / "bin" / "pixtera2.xml")
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
        const BString frame(std::string_view("Pixtera remote call benchmark: a twenty by four frame of text.  12345678"));
        Report("IDataCollection.Value by name:", Time(calls, [&] {
                   Variant value;
                   collection->Value(key, value.Out());
               }));
        Report("IDisplayDriver.Write of 20x4:", Time(calls, [&] { driver->Write(frame.get()); }));
        manager->Shutdown();
    }
    sleep(3);
    kill(bus, SIGTERM);
    waitpid(bus, nullptr, 0);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
