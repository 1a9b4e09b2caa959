// SPDX-License-Identifier: MIT
#include "sysfs_files.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace pixtera {
namespace {

constexpr std::size_t kLargestFile = 1 << 20;
// The service shares its descriptors with the bus, the devices and the plug-in hosts: files past
// this many are opened for each read instead of kept. (Those of chips that went away are dropped
// when a read fails.)
constexpr std::size_t kMostFilesKept = 256;

} // namespace

std::vector<std::string> SortedNames(const std::filesystem::path& directory)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int SysfsFiles::Descriptor(const std::string& path, UniqueFd& uncached)
{
    if (const auto it = files_.find(path); it != files_.end())
        return it->second.get();
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return -1;
    opened_.insert(path);
    if (files_.size() >= kMostFilesKept) {
        uncached = std::move(fd);
        return uncached.get();
    }
    return files_.emplace(path, std::move(fd)).first->second.get();
}

std::optional<std::string> SysfsFiles::Whole(const std::filesystem::path& path)
{
    const std::string key = path.string();
    UniqueFd uncached;
    const int fd = Descriptor(key, uncached);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            files_.erase(key); // the device went away, or this is no file to read
            return std::nullopt;
        }
        if (n == 0 || text.size() + static_cast<std::size_t>(n) > kLargestFile)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

std::optional<std::string> SysfsFiles::Line(const std::filesystem::path& path)
{
    auto text = Whole(path);
    if (text)
        text->erase(std::min(text->find('\n'), text->size()));
    return text;
}

std::optional<double> SysfsFiles::Number(const std::filesystem::path& path)
{
    const auto text = Line(path);
    if (!text)
        return std::nullopt;
    double value = 0;
    const char* first = text->data();
    const char* last = text->data() + text->size();
    while (first != last && *first == ' ')
        ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || first == last)
        return std::nullopt;
    return value;
}

} // namespace pixtera
