// SPDX-License-Identifier: MIT
// Bring-up times: a whole detection run on a machine with two I2C buses and two serial ports
// (pseudo-terminals; the I2C buses are models), once with nothing answering and once with a
// backpack on one bus and a module on one port; and the time from a device node appearing to the
// first frame on the module it belongs to.
// Targets: detection under 3 s when nothing answers (the serial probes bounded); under 2 s from
// the udev event to the frame, driven by the event.
//
// A harness rather than a Google Benchmark: each case is a wall-clock time of its own.

#include "hd44780_model.h"
#include "kernel_devices.h"
#include "lcd_writer.h"
#include "module_detection.h"
#include "serial_lcd_model.h"
#include "serial_lcd_protocol.h"

#include <pixtera/platform/unique_fd.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <thread>

namespace {

using namespace pixtera;
using namespace std::chrono;
using lcd::test::Hd44780Model;
using lcd::test::SerialLcdModel;

struct Pty {
    Pty()
    {
        int m = -1, s = -1;
        char name[256];
        openpty(&m, &s, name, nullptr, nullptr);
        master.reset(m);
        close(s);
        path = name;
    }
    UniqueFd master;
    std::string path;
};

// A module on the master end of a pseudo-terminal, answering until stopped.
class PtyModule {
public:
    explicit PtyModule(Pty& pty, SerialLcdModel& model) : thread_([this, &pty, &model] { Run(pty, model); }) {}
    ~PtyModule()
    {
        stop_ = true;
        thread_.join();
    }

private:
    void Run(Pty& pty, SerialLcdModel& model)
    {
        while (!stop_) {
            pollfd ready{pty.master.get(), POLLIN, 0};
            if (poll(&ready, 1, 10) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = read(pty.master.get(), buffer, sizeof buffer);
            if (n <= 0)
                continue;
            model.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            WriteAll(pty.master.get(), model.TakeReplies());
        }
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class ModelAdapter final : public detection::I2cAdapter {
public:
    explicit ModelAdapter(Hd44780Model* module) : module_(module) {}
    int Select(int address) override
    {
        selected_ = address;
        return 0;
    }
    int Read(std::uint8_t& byte) override
    {
        if (!module_ || selected_ != 0x27)
            return ENXIO;
        byte = module_->Read();
        return 0;
    }
    int Write(std::string_view bytes) override
    {
        if (!module_ || selected_ != 0x27)
            return ENXIO;
        module_->Feed(bytes);
        return 0;
    }

private:
    Hd44780Model* module_;
    int selected_ = -1;
};

// The kernel's serial ports (two pseudo-terminals standing for ttyUSB0 and ttyUSB1) with two
// model I2C buses.
class BenchDevices final : public detection::DetectionDevices {
public:
    BenchDevices(std::vector<std::string> ports, Hd44780Model* onBus1) : ports_(std::move(ports)), onBus1_(onBus1) {}
    std::vector<std::string> DeviceNames() override { return {"i2c-1", "i2c-2"}; }
    std::vector<std::pair<std::string, std::string>> SerialLinks() override
    {
        std::vector<std::pair<std::string, std::string>> links;
        for (const auto& port : ports_)
            links.emplace_back(port, std::filesystem::path(port).filename().string());
        return links;
    }
    std::unique_ptr<detection::I2cAdapter> OpenI2c(const std::string& path, int&) override
    {
        return std::make_unique<ModelAdapter>(path == "/dev/i2c-1" ? onBus1_ : nullptr);
    }
    std::unique_ptr<detection::SerialPort> OpenSerial(const std::string& path, int& error) override
    {
        return kernel_.OpenSerial(path, error);
    }
    std::optional<std::string> OtherUse(const std::string& path) override { return kernel_.OtherUse(path); }
    std::optional<std::string> LcddGreeting(const std::string& host, int port) override
    {
        return kernel_.LcddGreeting(host, port);
    }
    std::optional<detection::KernelLcdFound> KernelLcd() override { return std::nullopt; }
    std::optional<std::string> I2cDriver(int, int) override { return std::nullopt; }

private:
    detection::KernelDevices kernel_;
    std::vector<std::string> ports_;
    Hd44780Model* onBus1_;
};

double DetectionSeconds(bool oneAnswers, std::size_t& found)
{
    Pty first, second;
    Hd44780Model backpack(lcd::Pcf8574Pins::A());
    SerialLcdModel module(20, 4);
    std::optional<PtyModule> answering;
    if (oneAnswers)
        answering.emplace(second, module);
    BenchDevices devices({first.path, second.path}, oneAnswers ? &backpack : nullptr);
    const auto start = steady_clock::now();
    found = detection::DetectModules(devices, {}).found.size();
    return duration<double>(steady_clock::now() - start).count();
}

double EventToFrameSeconds()
{
    Pty port;
    const auto node = std::filesystem::temp_directory_path() / ("bring-up-bench-" + std::to_string(getpid()));
    std::filesystem::remove(node);
    lcd::WriterSetup setup;
    setup.name = "bench";
    setup.device = node.string();
    setup.open = [&](std::string& error) { return lcd::OpenSerialDevice(node.string(), 19200, error); };
    setup.protocol = std::make_shared<lcd::SerialLcdProtocol>(lcd::SerialLcdOptions{});
    setup.geometry = {20, 4};
    lcd::LcdWriter writer(setup);
    writer.Show("plugged in");
    std::this_thread::sleep_for(milliseconds(200)); // the writer found no device and waits for one

    SerialLcdModel module(20, 4);
    std::filesystem::create_symlink(port.path, node);
    const auto start = steady_clock::now();
    writer.TryNow(); // what the service does for udev's "add"
    char buffer[256];
    while (module.screen().substr(0, 10) != "plugged in" && steady_clock::now() - start < seconds(40)) {
        pollfd ready{port.master.get(), POLLIN, 0};
        if (poll(&ready, 1, 10) > 0) {
            const ssize_t n = read(port.master.get(), buffer, sizeof buffer);
            if (n > 0)
                module.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        }
    }
    const double elapsed = duration<double>(steady_clock::now() - start).count();
    std::filesystem::remove(node);
    return elapsed;
}

} // namespace

int main()
{
    std::size_t found = 0;
    double seconds = DetectionSeconds(false, found);
    std::printf("detection, 2 I2C buses and 2 serial ports, nothing answers: %.2f s (%zu found; target < 3 s)\n",
                seconds, found);
    seconds = DetectionSeconds(true, found);
    std::printf("detection, a backpack on one bus and a module on one port: %.2f s (%zu found)\n", seconds, found);
    std::printf("device node appeared -> first frame on the module: %.3f s (target < 2 s)\n", EventToFrameSeconds());
}
