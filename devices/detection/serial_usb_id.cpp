// SPDX-License-Identifier: MIT
#include "serial_usb_id.h"

#include <charconv>
#include <fstream>

namespace pixtera::detection {
namespace {

namespace fs = std::filesystem;

// A sysfs attribute of four hexadecimal digits ("fc0d\n").
std::optional<std::uint16_t> ReadHexId(const fs::path& file)
{
    std::ifstream in(file);
    char text[8] = {};
    in.read(text, sizeof text - 1);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text, text + in.gcount(), value, 16);
    if (error != std::errc() || end == text || value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::optional<UsbId> SerialUsbIdOf(const fs::path& sysfs, const std::string& port)
{
    std::error_code ec;
    const fs::path device = fs::canonical(port, ec);
    const std::string name = ec ? fs::path(port).filename().string() : device.filename().string();
    fs::path node = fs::canonical(sysfs / "class/tty" / name / "device", ec);
    // The tty's interface, its USB device: a handful of levels at most.
    for (int level = 0; !ec && level < 6 && node.has_relative_path(); ++level, node = node.parent_path()) {
        if (!fs::exists(node / "idVendor", ec))
            continue;
        const auto vendor = ReadHexId(node / "idVendor");
        const auto product = ReadHexId(node / "idProduct");
        if (vendor && product)
            return UsbId{*vendor, *product};
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace pixtera::detection
