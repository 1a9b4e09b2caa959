// SPDX-License-Identifier: MIT
// What a full 20x4 screen and one changed character cost through each way to the I2C bus: the
// kernel's i2c-dev, and the CH341A, MCP2221 and CP2112 driven directly, each on the model of its
// chip with the HD44780/PCF8574 model behind it. Counted where the driver meets the adapter: USB
// transfers (bulk transfers, or HID reports written and read), I2C messages, bytes on the bus and
// bus clocks; against the floor (4-bit, two expander bytes a nibble, each row's changes one
// message: a full screen 3,068 clocks, 30.7 ms at 100 kHz).
//
// The time on the wire is an estimate from each chip's USB cadence, not a measurement: a
// full-speed device's transfer waits for a 1 ms frame (HID: one report an interval each way; the
// CH341A's bulk transfers are synchronous, a round trip a frame), and the bus time adds to it,
// since each chip answers only once its I2C transfer is done.
// Target: the bus clocks within 1.1 times the floor for every adapter.
//
// A harness rather than a Google Benchmark: it counts, it does not time.

#include "backpack_connection.h"
#include "ch341_i2c.h"
#include "cp2112_i2c.h"
#include "hd44780_model.h"
#include "lcd_settings.h"
#include "lcd_writer.h"
#include "mcp2221_i2c.h"
#include "model_i2c_bus.h"
#include "usb_adapter_models.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace {

using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

constexpr Geometry kGeometry{20, 4};
constexpr int kAddress = 0x27;
constexpr int kHz = 100000;
constexpr double kUsbFrameMs = 1.0;

struct Cost {
    int usb = 0; // transfers at the USB seam; 0 on i2c-dev
    std::uint64_t messages = 0, bytes = 0, clocks = 0;
    double BusMs() const { return static_cast<double>(clocks) * 1000.0 / kHz; }
    double WireMs() const { return usb * kUsbFrameMs + BusMs(); }
};

// One row's changed cells, first to last, as one message after a jump.
std::uint64_t FloorClocks(const std::string& shown, const std::string& wanted)
{
    std::uint64_t clocks = 0;
    for (int row = 0; row < kGeometry.rows; ++row) {
        int first = -1, last = -1;
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

// The far end of one way to the bus: the link the driver opens, and what it cost since asked.
class Adapter {
public:
    virtual ~Adapter() = default;
    virtual std::optional<DeviceLink> Open() = 0;
    virtual Cost Take() = 0;
    virtual bool Shows(const std::string& frame) = 0;
    virtual std::size_t LargestMessage() const { return 0; }
};

class I2cDevAdapter final : public Adapter {
public:
    std::optional<DeviceLink> Open() override { return bus_.Open(); }
    Cost Take() override
    {
        Cost cost;
        for (const auto& transfer : bus_.Take()) {
            std::vector<std::string_view> messages(transfer.begin(), transfer.end());
            cost.clocks += I2cClocks(messages);
            cost.messages += messages.size();
            for (const auto message : messages)
                cost.bytes += 1 + message.size();
        }
        const int reads = bus_.reads();
        cost.messages += static_cast<std::uint64_t>(reads - reads_);
        cost.bytes += 2 * static_cast<std::uint64_t>(reads - reads_);
        cost.clocks += 20 * static_cast<std::uint64_t>(reads - reads_); // start, address, byte, stop
        reads_ = reads;
        return cost;
    }
    bool Shows(const std::string& frame) override
    {
        return bus_.WithModel([&](Hd44780Model& m) { return m.Visible(kGeometry.columns, kGeometry.rows) == frame; });
    }

private:
    Hd44780Model module_{Pcf8574Pins::A()};
    ModelI2cBus bus_{module_};
    int reads_ = 0;
};

template <class Model, class Chip>
class UsbAdapter final : public Adapter {
public:
    explicit UsbAdapter(std::function<int(Chip&)> setup, std::size_t largest = 0)
        : setup_(std::move(setup)), largest_(largest)
    {
    }
    std::optional<DeviceLink> Open() override
    {
        auto chip = std::make_unique<Chip>(model_.Connect(), kAddress);
        if (setup_(*chip) != 0)
            return std::nullopt;
        return DeviceLink(-1, std::move(chip));
    }
    Cost Take() override
    {
        const BusCount bus = model_.TakeBusCount();
        const int calls = model_.usbCalls();
        Cost cost{calls - calls_, bus.starts, bus.bytes, bus.clocks()};
        calls_ = calls;
        return cost;
    }
    bool Shows(const std::string& frame) override
    {
        return model_.WithModule(
            [&](Hd44780Model& m) { return m.Visible(kGeometry.columns, kGeometry.rows) == frame; });
    }
    std::size_t LargestMessage() const override { return largest_; }

private:
    Hd44780Model module_{Pcf8574Pins::A()};
    Model model_{module_, kAddress};
    std::function<int(Chip&)> setup_;
    std::size_t largest_;
    int calls_ = 0;
};

// The writer as Pixtera.HD44780I2C sets it up, its module initialised and blank before counting.
class Run {
public:
    explicit Run(Adapter& adapter) : adapter_(adapter)
    {
        I2cSettings settings;
        settings.geometry = kGeometry;
        Pacing pacing{Hd44780Timing::Standard, kHz, adapter.LargestMessage()};
        auto protocol =
            std::make_shared<Hd44780I2cProtocol>(kGeometry, Pcf8574Pins::A(), true, CharacterRom::A00, pacing);
        WriterSetup setup;
        setup.name = "bench";
        setup.device = "the model";
        setup.sleep = [](std::chrono::microseconds) {};
        setup.open = [this, settings, protocol, sleep = setup.sleep](std::string& error) {
            auto link = adapter_.Open();
            if (link && !PrepareBackpack(*link, settings, *protocol, "the model", sleep, error))
                link.reset();
            return link;
        };
        setup.protocol = protocol;
        setup.geometry = kGeometry;
        writer_ = std::make_unique<LcdWriter>(std::move(setup));
        shown_.assign(static_cast<std::size_t>(kGeometry.cells()), ' ');
        writer_->Show(shown_);
        writer_->WaitUntilSent(5s);
        adapter_.Take();
    }

    // Shows `frame`: what it cost, and its floor.
    std::pair<Cost, std::uint64_t> Show(const std::string& frame)
    {
        writer_->Show(frame);
        writer_->WaitUntilSent(5s);
        correct = correct && adapter_.Shows(frame);
        const auto floor = FloorClocks(shown_, frame);
        shown_ = frame;
        return {adapter_.Take(), floor};
    }

    bool correct = true;

private:
    Adapter& adapter_;
    std::string shown_;
    std::unique_ptr<LcdWriter> writer_; // last: its thread goes first
};

void Line(const char* adapter, const char* update, const Cost& cost, std::uint64_t floor, bool usb)
{
    const double floorMs = static_cast<double>(floor) * 1000.0 / kHz;
    if (usb)
        std::printf("%-8s %-16s %4d %5llu %6llu %6llu %5.2fx %7.2f ms %7.2f ms %5.2fx\n", adapter, update, cost.usb,
                    static_cast<unsigned long long>(cost.messages), static_cast<unsigned long long>(cost.bytes),
                    static_cast<unsigned long long>(cost.clocks),
                    static_cast<double>(cost.clocks) / static_cast<double>(floor), cost.BusMs(), cost.WireMs(),
                    cost.WireMs() / floorMs);
    else
        std::printf("%-8s %-16s %4s %5llu %6llu %6llu %5.2fx %7.2f ms %7.2f ms %5.2fx\n", adapter, update, "-",
                    static_cast<unsigned long long>(cost.messages), static_cast<unsigned long long>(cost.bytes),
                    static_cast<unsigned long long>(cost.clocks),
                    static_cast<double>(cost.clocks) / static_cast<double>(floor), cost.BusMs(), cost.BusMs(),
                    cost.BusMs() / floorMs);
}

void Measure(const char* name, Adapter& adapter, bool usb)
{
    Run run(adapter);
    std::string everything;
    for (int i = 0; i < kGeometry.cells(); ++i)
        everything.push_back(static_cast<char>('A' + i % 26));
    const auto [full, fullFloor] = run.Show(everything);
    Line(name, "full 20x4", full, fullFloor, usb);
    std::string changed = everything;
    changed[45] = '#';
    const auto [one, oneFloor] = run.Show(changed);
    Line(name, "one character", one, oneFloor, usb);
    if (!run.correct)
        std::printf("%-8s WRONG ON THE MODULE\n", name);
}

} // namespace

int main()
{
    std::printf("at %d kHz; wire time: USB transfers x %.0f ms + bus time\n", kHz / 1000, kUsbFrameMs);
    std::printf("%-8s %-16s %4s %5s %6s %6s %6s %10s %10s %6s\n", "adapter", "update", "usb", "msgs", "bytes", "clocks",
                "floor", "bus", "wire", "floor");
    I2cDevAdapter i2cDev;
    Measure("i2c-dev", i2cDev, false);
    UsbAdapter<Ch341Model, Ch341I2c> ch341([](Ch341I2c& chip) { return chip.SetSpeed(kHz); });
    Measure("ch341", ch341, true);
    UsbAdapter<Mcp2221Model, Mcp2221I2c> mcp2221([](Mcp2221I2c& chip) { return chip.Setup(kHz); });
    Measure("mcp2221", mcp2221, true);
    UsbAdapter<Cp2112Model, Cp2112I2c> cp2112([](Cp2112I2c& chip) { return chip.Setup(kHz); }, cp2112::kLargestWrite);
    Measure("cp2112", cp2112, true);
    return 0;
}
