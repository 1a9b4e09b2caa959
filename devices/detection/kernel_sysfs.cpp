// SPDX-License-Identifier: MIT
#include "kernel_sysfs.h"

#include <array>
#include <cstdio>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace pixtera::detection {
namespace {

namespace fs = std::filesystem;

// The auxdisplay drivers that put their display behind charlcd's /dev/lcd, by their sysfs place.
constexpr std::array<const char*, 2> kCharlcdDrivers = {"bus/platform/drivers/hd44780", "bus/i2c/drivers/lcd2s"};

// A small sysfs attribute ("10:156\n", four bytes of a device tree property); nothing when it is
// missing or larger than sysfs attributes of this kind are.
std::optional<std::string> Attribute(const fs::path& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file)
        return std::nullopt;
    char buffer[64];
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    if (got == sizeof buffer)
        return std::nullopt;
    return std::string(buffer, got);
}

std::optional<dev_t> DeviceNumber(const fs::path& attribute)
{
    const auto text = Attribute(attribute);
    unsigned major = 0;
    unsigned minor = 0;
    if (!text || std::sscanf(text->c_str(), "%u:%u", &major, &minor) != 2)
        return std::nullopt;
    return makedev(major, minor);
}

// A device tree cell: a 32-bit big-endian number; 0 when absent or out of [1, highest].
int Cell(const fs::path& property, int highest)
{
    const auto bytes = Attribute(property);
    if (!bytes || bytes->size() != 4)
        return 0;
    unsigned value = 0;
    for (char byte : *bytes)
        value = value << 8 | static_cast<unsigned char>(byte);
    return value >= 1 && value <= static_cast<unsigned>(highest) ? static_cast<int>(value) : 0;
}

// The first device bound to `driver` (a link in its sysfs directory), or nothing.
std::optional<fs::path> BoundDevice(const fs::path& driver)
{
    std::error_code ec;
    for (fs::directory_iterator entry(driver, ec), end; !ec && entry != end; entry.increment(ec))
        if (entry->is_symlink(ec) && entry->path().filename() != "module")
            return entry->path();
    return std::nullopt;
}

} // namespace

std::optional<KernelLcdFound> KernelLcdOf(const fs::path& sysfs, const std::string& device)
{
    struct stat node {};
    if (lstat(device.c_str(), &node) < 0 || !S_ISCHR(node.st_mode))
        return std::nullopt;
    if (DeviceNumber(sysfs / "class/misc/lcd/dev") != node.st_rdev)
        return std::nullopt;
    KernelLcdFound found;
    found.device = device;
    for (const char* place : kCharlcdDrivers) {
        const fs::path driver = sysfs / place;
        if (const auto bound = BoundDevice(driver)) {
            found.driver = driver.filename().string();
            found.columns = Cell(*bound / "of_node/display-width-chars", 40);
            found.rows = Cell(*bound / "of_node/display-height-chars", 4);
            if (!found.columns || !found.rows)
                found.columns = found.rows = 0;
            break;
        }
    }
    return found;
}

std::optional<std::string> I2cDriverOf(const fs::path& sysfs, int bus, int address)
{
    char client[32];
    std::snprintf(client, sizeof client, "%d-%04x", bus, address);
    std::error_code ec;
    const fs::path driver = fs::read_symlink(sysfs / "bus/i2c/devices" / client / "driver", ec);
    if (ec || driver.filename().empty())
        return std::nullopt;
    return driver.filename().string();
}

} // namespace pixtera::detection
