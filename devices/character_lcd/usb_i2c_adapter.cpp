// SPDX-License-Identifier: MIT
#include "usb_i2c_adapter.h"

#include "ch341_i2c.h"
#include "cp2112_i2c.h"
#include "hidraw_reports.h"
#include "libusb_bulk.h"
#include "mcp2221_i2c.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace pixtera::lcd {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kLongestAttribute = 256;

std::string Attribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line) || line.size() > kLongestAttribute)
        return {};
    return line;
}

std::optional<int> Number(const std::string& text, int base)
{
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used, base);
        return used == text.size() ? std::optional(value) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// 1-1.4: a bus, a dash and port numbers separated by dots.
bool IsPortPath(std::string_view text)
{
    const auto dash = text.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == text.size())
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; });
}

// The entries named `prefix`N in `directory`, as N.
std::optional<int> NumberedEntry(const fs::path& directory, std::string_view prefix)
{
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix))
            if (const auto n = Number(name.substr(prefix.size()), 10))
                return n;
    }
    return std::nullopt;
}

// A USB device's interfaces (1-1.4:1.0).
std::vector<fs::path> Interfaces(const UsbDevice& device)
{
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(device.sysfs, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().find(':') != std::string::npos)
            found.push_back(it->path());
    std::sort(found.begin(), found.end());
    return found;
}

// The HID devices under a USB device's interfaces (1-1.4:1.2/0003:04D8:00DD.0001).
std::vector<fs::path> HidDevices(const UsbDevice& device)
{
    std::vector<fs::path> found;
    for (const fs::path& interface : Interfaces(device)) {
        std::error_code inner;
        fs::directory_iterator end;
        for (fs::directory_iterator hid(interface, inner); !inner && hid != end; hid.increment(inner)) {
            const std::string name = hid->path().filename().string();
            if (std::count(name.begin(), name.end(), ':') == 2)
                found.push_back(hid->path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

const char* ChipName(AdapterKind kind)
{
    switch (kind) {
    case AdapterKind::Ch341: return "CH341A";
    case AdapterKind::Mcp2221: return "MCP2221";
    case AdapterKind::Cp2112: return "CP2112";
    case AdapterKind::I2cDev: break;
    }
    return "i2c-dev";
}

namespace {

std::optional<DeviceLink> OpenHidraw(AdapterKind kind, const std::string& node, const std::string& serial, int address,
                                     int hz, std::string& error, AdapterTransfer** opened)
{
    // Not blocking: the reports' reads wait in poll() with a deadline.
    const int fd = open(node.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        error = node + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fd, &info) < 0 || !S_ISCHR(info.st_mode)) {
        close(fd);
        error = node + " is no hidraw device";
        errno = ENODEV;
        return std::nullopt;
    }
    int result = 0;
    std::unique_ptr<AdapterTransfer> transfer;
    if (kind == AdapterKind::Mcp2221) {
        auto chip = std::make_unique<Mcp2221I2c>(std::make_unique<HidrawReports>(fd), address);
        result = chip->Setup(hz, serial);
        transfer = std::move(chip);
    } else {
        auto chip = std::make_unique<Cp2112I2c>(std::make_unique<HidrawReports>(fd), address);
        result = chip->Setup(hz, serial);
        transfer = std::move(chip);
    }
    if (opened)
        *opened = transfer.get();
    DeviceLink link(fd, std::move(transfer));
    if (result == EMEDIUMTYPE) {
        error = node + " is not the " + ChipName(kind) + " found (another device took its place): nothing was " +
                "written to it";
        errno = ENODEV;
        return std::nullopt;
    }
    if (result != 0) {
        error = node + ": setting the bus up: " + std::strerror(result);
        errno = result;
        return std::nullopt;
    }
    return link;
}

} // namespace

std::optional<AdapterChoice> ParseAdapter(std::string_view text)
{
    const auto colon = text.find(':');
    const std::string_view key = text.substr(0, colon);
    AdapterChoice adapter;
    if (key == "i2c-dev")
        adapter.kind = AdapterKind::I2cDev;
    else if (key == "ch341")
        adapter.kind = AdapterKind::Ch341;
    else if (key == "mcp2221")
        adapter.kind = AdapterKind::Mcp2221;
    else if (key == "cp2112")
        adapter.kind = AdapterKind::Cp2112;
    else
        return std::nullopt;
    if (colon != std::string_view::npos) {
        adapter.which = std::string(text.substr(colon + 1));
        // A serial number or port path is short and printable; i2c-dev takes neither.
        if (adapter.kind == AdapterKind::I2cDev || adapter.which.empty() || adapter.which.size() > 64 ||
            !std::all_of(adapter.which.begin(), adapter.which.end(), [](char c) { return c > ' ' && c < 127; }))
            return std::nullopt;
    }
    return adapter;
}

const char* AdapterKey(AdapterKind kind)
{
    switch (kind) {
    case AdapterKind::Ch341: return "ch341";
    case AdapterKind::Mcp2221: return "mcp2221";
    case AdapterKind::Cp2112: return "cp2112";
    case AdapterKind::I2cDev: break;
    }
    return "i2c-dev";
}

std::string AdapterText(const AdapterChoice& adapter)
{
    return adapter.which.empty() ? AdapterKey(adapter.kind)
                                 : std::string(AdapterKey(adapter.kind)) + ":" + adapter.which;
}

std::pair<std::uint16_t, std::uint16_t> UsbIds(AdapterKind kind)
{
    switch (kind) {
    case AdapterKind::Ch341: return {0x1a86, 0x5512};
    case AdapterKind::Mcp2221: return {0x04d8, 0x00dd};
    case AdapterKind::Cp2112: return {0x10c4, 0xea90};
    case AdapterKind::I2cDev: break;
    }
    return {0, 0};
}

bool HasSerialNumber(AdapterKind kind) { return kind != AdapterKind::Ch341; }

std::vector<UsbDevice> FindAdapters(AdapterKind kind, const fs::path& root)
{
    const auto [vendor, product] = UsbIds(kind);
    std::vector<UsbDevice> found;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path dir = it->path();
        const std::string name = dir.filename().string();
        if (!IsPortPath(name))
            continue; // an interface (1-1.4:1.0) or a root hub (usb1)
        if (Number(Attribute(dir / "idVendor"), 16) != vendor || Number(Attribute(dir / "idProduct"), 16) != product)
            continue;
        UsbDevice device{dir, name, Attribute(dir / "serial"), Number(Attribute(dir / "busnum"), 10).value_or(0),
                         Number(Attribute(dir / "devnum"), 10).value_or(0)};
        found.push_back(std::move(device));
    }
    std::sort(found.begin(), found.end(), [](const UsbDevice& a, const UsbDevice& b) { return a.port < b.port; });
    return found;
}

std::optional<UsbDevice> ChooseAdapter(const AdapterChoice& adapter, const std::vector<UsbDevice>& found)
{
    for (const UsbDevice& device : found)
        if (adapter.which.empty() || device.port == adapter.which ||
            (!IsPortPath(adapter.which) && device.serial == adapter.which))
            return device;
    return std::nullopt;
}

std::optional<int> KernelI2cBus(const UsbDevice& device)
{
    // A USB driver's bus hangs from the interface, a HID driver's from the HID device.
    for (const fs::path& interface : Interfaces(device))
        if (const auto bus = NumberedEntry(interface, "i2c-"))
            return bus;
    for (const fs::path& hid : HidDevices(device))
        if (const auto bus = NumberedEntry(hid, "i2c-"))
            return bus;
    return std::nullopt;
}

std::optional<std::string> HidrawNode(const UsbDevice& device)
{
    for (const fs::path& hid : HidDevices(device))
        if (const auto n = NumberedEntry(hid / "hidraw", "hidraw"))
            return "/dev/hidraw" + std::to_string(*n);
    return std::nullopt;
}

std::optional<DeviceLink> OpenAdapterDevice(AdapterKind kind, const UsbDevice& device, int address, int hz,
                                            std::string& route, std::string& error, AdapterTransfer** transfer)
{
    const std::string name = std::string(ChipName(kind)) + " at " + device.port;
    if (transfer)
        *transfer = nullptr;
    // A kernel driver that made the chip an I2C bus is used as it is: its clock is its own.
    if (const auto bus = KernelI2cBus(device)) {
        route = "the " + name + " as the kernel's /dev/i2c-" + std::to_string(*bus);
        return OpenI2cDevice(*bus, address, error);
    }
    if (kind == AdapterKind::Ch341) {
        const auto [vendor, product] = UsbIds(kind);
        auto bulk = LibusbBulk::Open(device.busNumber, device.deviceAddress, vendor, product, error);
        if (!bulk)
            return std::nullopt;
        const int watched = bulk->DuplicatePollFd();
        auto owned = std::make_unique<Ch341I2c>(std::move(bulk), address);
        Ch341I2c& chip = *owned;
        DeviceLink link(watched, std::move(owned));
        if (const int result = chip.SetSpeed(hz); result != 0) {
            error = name + ": setting the bus clock: " + std::strerror(result);
            errno = result;
            return std::nullopt;
        }
        route = "the " + name + " over libusb";
        if (transfer)
            *transfer = &chip;
        return link;
    }
    const auto node = HidrawNode(device);
    if (!node) {
        error = name + " has neither an I2C bus of the kernel's nor a hidraw node";
        errno = ENODEV;
        return std::nullopt;
    }
    route = "the " + name + " over " + *node;
    return OpenHidraw(kind, *node, device.serial, address, hz, error, transfer);
}

std::optional<DeviceLink> OpenAdapterLink(const AdapterChoice& adapter, int address, int hz, std::string& route,
                                          std::string& error)
{
    const auto device = ChooseAdapter(adapter, FindAdapters(adapter.kind));
    if (!device) {
        error = std::string("no ") + ChipName(adapter.kind) + (adapter.which.empty() ? "" : " " + adapter.which) +
                " is plugged in";
        errno = ENODEV;
        return std::nullopt;
    }
    return OpenAdapterDevice(adapter.kind, *device, address, hz, route, error);
}

} // namespace pixtera::lcd
