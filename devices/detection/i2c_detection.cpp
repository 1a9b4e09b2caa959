// SPDX-License-Identifier: MIT
#include "place_probes.h"

#include "expander_identification.h"
#include "hd44780_i2c_protocol.h"
#include "lcd_settings.h"
#include "pin_map_detection.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>

namespace pixtera::detection {
namespace {

constexpr const char* kNoBusReason =
    "no I2C bus: load i2c-dev: `sudo modprobe i2c-dev`, and enable I2C on a Raspberry Pi";

std::optional<int> BusNumber(const std::string& name)
{
    if (name.rfind("i2c-", 0) != 0)
        return std::nullopt;
    int bus = -1;
    const char* first = name.data() + 4;
    const char* last = name.data() + name.size();
    const auto [end, ec] = std::from_chars(first, last, bus);
    if (ec != std::errc() || end != last || first == last)
        return std::nullopt;
    return bus;
}

std::vector<int> BusesToProbe(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report)
{
    std::vector<int> present;
    for (const auto& name : devices.DeviceNames())
        if (const auto bus = BusNumber(name))
            present.push_back(*bus);
    std::sort(present.begin(), present.end());
    if (options.buses.empty()) {
        if (present.empty())
            report.tried.push_back({"/dev/i2c-*", kNoBusReason});
        return present;
    }
    std::vector<int> chosen;
    for (int bus : options.buses) {
        if (std::binary_search(present.begin(), present.end(), bus))
            chosen.push_back(bus);
        else
            report.tried.push_back({"/dev/i2c-" + std::to_string(bus), kNoBusReason});
    }
    return chosen;
}

std::string OpenFailure(const std::string& path, int error)
{
    if (error == EACCES || error == EPERM)
        return "permission denied: add yourself to the group that owns " + path +
               ": `sudo usermod -aG i2c $USER`, then log in again";
    return std::strerror(error);
}

// The backpack's expander, one byte at a time.
class AdapterPort final : public lcd::ExpanderPort {
public:
    explicit AdapterPort(I2cAdapter& adapter) : adapter_(adapter) {}
    bool Write(std::uint8_t lines) override
    {
        return adapter_.Write(std::string_view(reinterpret_cast<const char*>(&lines), 1)) == 0;
    }
    std::optional<std::uint8_t> Read() override
    {
        std::uint8_t lines = 0;
        if (adapter_.Read(lines) != 0)
            return std::nullopt;
        return lines;
    }

private:
    I2cAdapter& adapter_;
};

// The chip at the selected address, as identification sees it.
class AdapterDevice final : public lcd::I2cDevice {
public:
    explicit AdapterDevice(I2cAdapter& adapter) : adapter_(adapter) {}
    bool Write(std::string_view message) override { return adapter_.Write(message) == 0; }
    bool Read(std::span<std::uint8_t> bytes) override { return adapter_.ReadBlock(bytes) == 0; }

private:
    I2cAdapter& adapter_;
};

bool Send(I2cAdapter& adapter, const lcd::LinkBatch& batch, const lcd::Sleeper& sleep)
{
    for (const auto& segment : batch.segments()) {
        if (adapter.Write(segment.bytes) != 0)
            return false;
        if (segment.pause.count() > 0)
            sleep(segment.pause);
    }
    return true;
}

// Behind an expander known to be a PCF8574: finds the pin map and leaves the module initialised and
// blank, so that the next run finds it the same way.
FoundModule ProbeBackpack(I2cAdapter& adapter, const std::string& where, const std::string& place,
                          const DetectionOptions& options)
{
    AdapterPort port(adapter);
    const lcd::PinMapFound map = lcd::DetectPinMap(port, options.sleep);
    const lcd::Pcf8574Pins pins = map == lcd::PinMapFound::B ? lcd::Pcf8574Pins::B() : lcd::Pcf8574Pins::A();
    const lcd::Hd44780I2cProtocol protocol({options.size.columns, options.size.rows}, pins, true);
    lcd::LinkBatch initialise;
    protocol.Initialise(initialise);
    Send(adapter, initialise, options.sleep);

    FoundModule found;
    found.progId = lcd::kI2cDriver.progId;
    found.settings = lcd::kI2cDriver.settings;
    found.sizeAssumed = true;
    found.configuration = where + ";pinmap=" + (map == lcd::PinMapFound::B ? "b" : "a") +
                          ";columns=" + std::to_string(options.size.columns) +
                          ";rows=" + std::to_string(options.size.rows) + ";backlight=on";
    found.place = place;
    if (map == lcd::PinMapFound::Unknown)
        found.note = "pin map unknown, try pinmap=a first";
    return found;
}

// An MCP backpack, known by reading it: nothing is written to it, its usual board's wiring assumed.
FoundModule McpBackpack(lcd::ExpanderChip chip, const std::string& where, const std::string& place, int address,
                        const DetectionOptions& options)
{
    const bool plate = chip == lcd::ExpanderChip::Mcp23017;
    FoundModule found;
    found.progId = "Pixtera.HD44780I2C";
    found.settings = lcd::kI2cSettings;
    found.configuration = where + ";expander=" + lcd::ExpanderKey(chip) + ";pinmap=" + (plate ? "plate" : "adafruit") +
                          ";columns=" + std::to_string(options.size.columns) +
                          ";rows=" + std::to_string(options.size.rows) + ";backlight=on";
    found.place = place;
    found.note = std::string(lcd::ExpanderName(chip)) + " at " + lcd::HexByte(address) + ", wired as " +
                 (plate ? "the RGB LCD plate" : "the Adafruit I2C backpack") + " is assumed";
    return found;
}

// Whether `choice` opens `adapter` now, among `all` (the driver takes the first it names, in port
// order).
bool Opens(const lcd::AdapterChoice& choice, const UsbAdapterFound& adapter, const std::vector<UsbAdapterFound>& all)
{
    std::vector<lcd::UsbDevice> sameKind;
    for (const UsbAdapterFound& other : all)
        if (other.kind == adapter.kind)
            sameKind.push_back(other.device);
    std::sort(sameKind.begin(), sameKind.end(), [](const auto& a, const auto& b) { return a.port < b.port; });
    const auto opened = lcd::ChooseAdapter(choice, sameKind);
    return opened && opened->port == adapter.device.port;
}

// The adapter= values that open `adapter` now: its port, its serial number and the bare kind, each
// where it opens this adapter and no other.
std::vector<std::string> AdapterSpellings(const UsbAdapterFound& adapter, const std::vector<UsbAdapterFound>& all)
{
    std::vector<lcd::AdapterChoice> choices{{adapter.kind, adapter.device.port}, {adapter.kind, {}}};
    if (!adapter.device.serial.empty())
        choices.push_back({adapter.kind, adapter.device.serial});
    std::vector<std::string> spellings;
    for (const lcd::AdapterChoice& choice : choices)
        if (Opens(choice, adapter, all))
            spellings.push_back(lcd::AdapterText(choice));
    return spellings;
}

// Every expander address behind an opened adapter; `where` is the configuration's start that
// names it ("bus=1"), `also` other starts that reach the same adapter ("adapter=mcp2221"),
// `kernels` the kernel driver bound at an address, if any.
void ProbeAddresses(I2cAdapter& adapter, const std::string& path, const std::string& where,
                    const std::vector<std::string>& also, const std::function<std::optional<std::string>(int)>& kernels,
                    const DetectionOptions& options, DetectionReport& report)
{
    bool anyAnswered = false;
    for (int address = 0x20; address <= 0x3F; ++address) {
        if (!IsExpanderAddress(address))
            continue;
        const std::string place = path + " address " + lcd::HexByte(address);
        if (const auto driver = kernels ? kernels(address) : std::nullopt) {
            report.tried.push_back({place, "the kernel's " + *driver + " driver has it: not probed"});
            anyAnswered = true;
            continue;
        }
        if (adapter.Select(address) != 0)
            continue;
        // Read before anything is written: only a chip that reads alike throughout gets the
        // PCF8574's pin patterns.
        AdapterDevice device(adapter);
        const lcd::ExpanderFound found = lcd::IdentifyByReads(device);
        if (found == lcd::ExpanderFound::Absent)
            continue;
        anyAnswered = true;
        const std::string configuration = where + ";address=" + lcd::HexByte(address);
        const std::size_t before = report.found.size();
        if (const auto chip = lcd::ChipOf(found)) {
            report.found.push_back(McpBackpack(*chip, configuration, place, address, options));
        } else if (found == lcd::ExpanderFound::Unknown) {
            report.tried.push_back({place, "answers, but is no PCF8574 (its reads differ) and reads as no "
                                           "MCP23008 or MCP23017: nothing was written to it"});
        } else if (!lcd::ReadsBackAsPcf8574(device)) {
            report.tried.push_back(
                {place, "answers, but is no PCF8574 (the pins written did not read back): left alone"});
        } else {
            report.found.push_back(ProbeBackpack(adapter, configuration, place, options));
        }
        if (report.found.size() > before)
            for (const std::string& start : also)
                report.found.back().sameModule.push_back(start + ";address=" + lcd::HexByte(address));
    }
    if (!anyAnswered)
        report.tried.push_back({path, "no device answered at 0x20-0x27 or 0x38-0x3f"});
}

// An adapter's driver opens the I2C bus a kernel driver made of it: its adapter= values reach
// that bus's modules.
std::vector<std::string> KernelBusSpellings(int bus, const std::vector<UsbAdapterFound>& adapters)
{
    std::vector<std::string> also;
    for (const UsbAdapterFound& adapter : adapters)
        if (adapter.kernelBus == bus)
            for (const std::string& spelling : AdapterSpellings(adapter, adapters))
                also.push_back("adapter=" + spelling);
    return also;
}

} // namespace

bool IsExpanderAddress(int address)
{
    return (address >= 0x20 && address <= 0x27) || (address >= 0x38 && address <= 0x3F);
}

void ProbeI2cBuses(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report)
{
    for (int bus : BusesToProbe(devices, options, report)) {
        const std::string path = "/dev/i2c-" + std::to_string(bus);
        if (options.progress)
            options.progress(path);
        int error = 0;
        auto adapter = devices.OpenI2c(path, error);
        if (!adapter) {
            report.tried.push_back({path, OpenFailure(path, error)});
            continue;
        }
        // The kernel's own device (the expander of the display behind /dev/lcd): not ours to probe.
        const auto kernels = [&](int address) { return devices.I2cDriver(bus, address); };
        ProbeAddresses(*adapter, path, "bus=" + std::to_string(bus), KernelBusSpellings(bus, devices.UsbAdapters()),
                       kernels, options, report);
    }
}

void ProbeUsbAdapters(DetectionDevices& devices, const DetectionOptions& options, DetectionReport& report)
{
    if (!options.buses.empty())
        return; // only the buses named
    const auto adapters = devices.UsbAdapters();
    for (const UsbAdapterFound& found : adapters) {
        const std::string path = std::string(lcd::ChipName(found.kind)) + " at " + found.device.port;
        if (found.kernelBus) {
            report.tried.push_back(
                {path, "a kernel driver made it /dev/i2c-" + std::to_string(*found.kernelBus) + ": probed there"});
            continue;
        }
        if (options.progress)
            options.progress(path);
        int error = 0;
        auto adapter = devices.OpenUsbAdapter(found, error);
        if (!adapter) {
            report.tried.push_back({path, error == EACCES || error == EPERM
                                              ? "permission denied: install the package's udev rule for USB-I2C "
                                                "adapters (docs/hardware.md), then plug it in again"
                                              : std::string(std::strerror(error))});
            continue;
        }
        // Told apart by its serial number where the chip has one and no other adapter of its kind
        // shares it (clones often do), else by its USB port.
        const lcd::AdapterChoice bySerial{found.kind, found.device.serial};
        const bool serial = lcd::HasSerialNumber(found.kind) && !found.device.serial.empty() &&
                            Opens(bySerial, found, adapters) &&
                            std::count_if(adapters.begin(), adapters.end(), [&](const UsbAdapterFound& other) {
                                return other.kind == found.kind && other.device.serial == found.device.serial;
                            }) == 1;
        const lcd::AdapterChoice choice = serial ? bySerial : lcd::AdapterChoice{found.kind, found.device.port};
        std::vector<std::string> also;
        for (const std::string& spelling : AdapterSpellings(found, adapters))
            if (spelling != lcd::AdapterText(choice))
                also.push_back("adapter=" + spelling);
        ProbeAddresses(*adapter, path, "adapter=" + lcd::AdapterText(choice), also, {}, options, report);
    }
}

} // namespace pixtera::detection
