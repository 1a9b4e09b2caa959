// SPDX-License-Identifier: MIT
// I2C bus clocks and bus time of the HD44780 writer against the floor, on the HD44780/PCF8574
// model: a full 20x4 rewrite, a one-character change and a clock ticking once a second for a
// minute. The floor: 4-bit mode at two expander bytes per nibble, each row's changes from the
// first to the last one message (start, address, a set-address instruction, the characters,
// stop), nine clocks a byte. For comparison the same updates sent as three one-byte messages per
// nibble (E low, E high, E low), as writers that pulse the enable line on its own do.
// Target: within 1.1 times the floor, in clocks and in bus time at 100 and 400 kHz.
//
// A harness rather than a Google Benchmark: it counts clocks, not time.

#include "hd44780_i2c_protocol.h"
#include "hd44780_model.h"
#include "lcd_writer.h"
#include "model_i2c_bus.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

constexpr Geometry kGeometry{20, 4};
constexpr int kRates[] = {100000, 400000};

struct Cost {
    std::uint64_t clocks = 0;
    std::chrono::microseconds waited{0}; // pauses the writer slept, on top of the bus time
    double Milliseconds(int hz) const
    {
        return static_cast<double>(clocks) * 1000.0 / hz + static_cast<double>(waited.count()) / 1000.0;
    }
};

// One row's changed cells, first to last, as one message after a jump.
std::uint64_t FloorClocks(const std::string& shown, const std::string& wanted)
{
    std::uint64_t clocks = 0;
    for (int row = 0; row < kGeometry.rows; ++row) {
        int first = -1;
        int last = -1;
        for (int column = 0; column < kGeometry.columns; ++column) {
            const auto cell = static_cast<std::size_t>(row * kGeometry.columns + column);
            if (shown[cell] != wanted[cell]) {
                first = first < 0 ? column : first;
                last = column;
            }
        }
        if (first >= 0)
            clocks += 1 + 9 + 9 * 4 * static_cast<std::uint64_t>(1 + last - first + 1) + 1;
    }
    return clocks;
}

// Every nibble (an E-high and an E-low byte) as three messages of a byte each.
std::uint64_t OldMethodClocks(const std::vector<ModelI2cBus::Transfer>& transfers)
{
    std::uint64_t clocks = 0;
    for (const auto& transfer : transfers)
        for (const auto& message : transfer)
            clocks += (message.size() / 2) * 3 * (1 + 9 + 9 + 1);
    return clocks;
}

class Run {
public:
    explicit Run(std::shared_ptr<LcdProtocol> protocol) : bus_(model_)
    {
        WriterSetup setup;
        setup.name = "bench";
        setup.device = "the model";
        setup.open = [this](std::string&) { return std::optional<DeviceLink>(bus_.Open()); };
        setup.protocol = std::move(protocol);
        setup.geometry = kGeometry;
        setup.sleep = [this](std::chrono::microseconds pause) { waited_ += pause; };
        writer_ = std::make_unique<LcdWriter>(std::move(setup));
        writer_->WaitUntilSent(5s);
        bus_.Take();
        waited_ = {};
        shown_.assign(static_cast<std::size_t>(kGeometry.cells()), ' ');
    }
    ~Run() { writer_.reset(); }

    // Shows `frame`, adding what it cost.
    void Show(const std::string& frame)
    {
        writer_->Show(frame);
        writer_->WaitUntilSent(5s);
        const auto transfers = bus_.Take();
        for (const auto& transfer : transfers) {
            std::vector<std::string_view> messages(transfer.begin(), transfer.end());
            cost.clocks += I2cClocks(messages);
        }
        cost.waited += std::exchange(waited_, {});
        old.clocks += OldMethodClocks(transfers);
        floor += FloorClocks(shown_, frame);
        shown_ = frame;
        correct = correct && bus_.WithModel([&](Hd44780Model& m) { return m.Visible(20, 4) == frame; });
    }

    void Reset() { cost = {}, old = {}, floor = 0; }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    Cost cost;
    Cost old;
    std::uint64_t floor = 0;
    bool correct = true;

private:
    Hd44780Model model_{Pcf8574Pins::A()};
    ModelI2cBus bus_;
    std::chrono::microseconds waited_{0}; // the writer's thread alone, until WaitUntilSent
    std::string shown_;
    std::unique_ptr<LcdWriter> writer_;
};

std::string Screen(int second)
{
    char clock[21];
    std::snprintf(clock, sizeof clock, "      12:%02d:%02d      ", (second / 60) % 60, second % 60);
    return "CPU  12 %   RAM 41 %" + std::string(clock) + "Up 3 days 04:05     " + "eth0 1.2 MB/s       ";
}

// A scenario: frames shown first (not counted), then the frames measured.
using Scenario = std::function<void(Run&)>;

void Report(const char* name, Hd44780Timing timing, const Scenario& scenario)
{
    std::printf("%-20s", name);
    std::uint64_t floor = 0;
    Cost old;
    bool correct = true;
    for (const int hz : kRates) {
        Run run(std::make_shared<Hd44780I2cProtocol>(kGeometry, Pcf8574Pins::A(), true, CharacterRom::A00,
                                                     Pacing{timing, hz}));
        scenario(run);
        const Cost floorCost{run.floor, {}};
        std::printf("  %6llu %8.2f ms %5.2fx", static_cast<unsigned long long>(run.cost.clocks),
                    run.cost.Milliseconds(hz), run.cost.Milliseconds(hz) / floorCost.Milliseconds(hz));
        floor = run.floor;
        if (hz == kRates[0])
            old = run.old; // no idle bytes: three messages a nibble leave the controller time enough
        correct = correct && run.correct;
    }
    std::printf("  %6llu  %6llu %5.2fx%s\n", static_cast<unsigned long long>(floor),
                static_cast<unsigned long long>(old.clocks),
                static_cast<double>(old.clocks) / static_cast<double>(floor), correct ? "" : "  WRONG ON THE MODULE");
}

void Measure(const char* name, Hd44780Timing timing)
{
    std::printf("\ntiming=%s\n%-20s  %26s  %26s  %6s  %13s\n", name, "update", "100 kHz: clocks, time, ratio",
                "400 kHz: clocks, time, ratio", "floor", "old method");
    std::string everything;
    for (int i = 0; i < kGeometry.cells(); ++i)
        everything.push_back(static_cast<char>('A' + i % 26));
    Report("full 20x4 rewrite", timing, [&](Run& run) { run.Show(everything); });
    Report("one character", timing, [](Run& run) {
        run.Show(Screen(0));
        run.Reset();
        std::string changed = Screen(0);
        changed[5] = '3';
        run.Show(changed);
    });
    Report("1 Hz clock, 60 s", timing, [](Run& run) {
        run.Show(Screen(0));
        run.Reset();
        for (int second = 1; second <= 60; ++second)
            run.Show(Screen(second));
    });
}

} // namespace

int main()
{
    Measure("fast", Hd44780Timing::Fast);
    Measure("standard", Hd44780Timing::Standard);
    Measure("slow", Hd44780Timing::Slow);
    return 0;
}
