// SPDX-License-Identifier: MIT
#include "udev_marks.h"

#include <pixtera/sdk/bounded_file.h>

#include <array>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace pixtera::detection {
namespace {

// A record is a few kilobytes; more is not udev's.
constexpr std::size_t kLargestRecord = 64 * 1024;

struct Mark {
    std::string_view key; // a prefix when it ends in '_'
    std::string_view value; // empty: any value that contains `contains`
    std::string_view contains;
    std::string_view use;
};

// The GPS marks first: ModemManager names a modem's GPS port as one of its port types.
constexpr std::array kMarks{
    Mark{"ID_GNSS", "1", {}, "a GPS receiver"},
    Mark{"ID_GPS", "1", {}, "a GPS receiver"},
    Mark{"ID_MM_PORT_TYPE_GPS", "1", {}, "a GPS receiver"},
    Mark{"SYSTEMD_WANTS", {}, "gpsdctl@", "a GPS receiver"}, // gpsd's rules
    Mark{"ID_MM_PORT_TYPE_", "1", {}, "a modem"},
    Mark{"ID_MM_DEVICE_PROCESS", "1", {}, "a modem"},
};

bool Matches(const Mark& mark, std::string_view key, std::string_view value)
{
    const bool keyMatches = mark.key.ends_with('_') ? key.starts_with(mark.key) : key == mark.key;
    if (!keyMatches)
        return false;
    return mark.value.empty() ? value.find(mark.contains) != std::string_view::npos : value == mark.value;
}

} // namespace

std::optional<std::string> OtherUseInRecord(std::string_view record)
{
    std::optional<std::string> found;
    std::size_t rank = kMarks.size();
    while (!record.empty()) {
        const auto end = record.find('\n');
        std::string_view line = record.substr(0, end);
        record.remove_prefix(end == std::string_view::npos ? record.size() : end + 1);
        if (!line.starts_with("E:"))
            continue;
        line.remove_prefix(2);
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const auto key = line.substr(0, equals);
        const auto value = line.substr(equals + 1);
        for (std::size_t i = 0; i < rank; ++i)
            if (Matches(kMarks[i], key, value)) {
                found = std::string(kMarks[i].use) + " (" + std::string(line.substr(0, 80)) + ")";
                rank = i;
                break;
            }
    }
    return found;
}

std::optional<std::string> OtherUseOf(const std::filesystem::path& database, const std::string& device)
{
    struct stat info {};
    if (stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return std::nullopt;
    const auto record =
        database / ("c" + std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev)));
    const BoundedFile file = ReadBoundedFile(record.string(), kLargestRecord, true, FileOwner::ThisUserOrRoot);
    if (!file)
        return std::nullopt;
    return OtherUseInRecord(file.text);
}

} // namespace pixtera::detection
