// SPDX-License-Identifier: MIT
#pragma once
// Files of /proc and /sys read at every poll: each is opened once and read again from its start
// with pread, which makes the kernel produce it afresh; a file that fails is closed and opened
// again at the next read. Opened without blocking, so that a FIFO planted in a copied tree cannot
// stall the poll.

#include <pixtera/platform/unique_fd.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace pixtera {

// The names in a directory, sorted; none when it cannot be read.
std::vector<std::string> SortedNames(const std::filesystem::path& directory);

class SysfsFiles {
public:
    // The whole file (at most 1 MiB), or nothing when it cannot be read.
    std::optional<std::string> Whole(const std::filesystem::path& path);
    // Its first line without the line end.
    std::optional<std::string> Line(const std::filesystem::path& path);
    // Its first line as a number.
    std::optional<double> Number(const std::filesystem::path& path);

    // Every path opened so far (the tests check what is never touched).
    const std::set<std::string>& opened() const { return opened_; }

private:
    // The kept descriptor of the file, or `uncached` when no more are kept.
    int Descriptor(const std::string& path, UniqueFd& uncached);

    std::unordered_map<std::string, UniqueFd> files_;
    std::set<std::string> opened_;
};

} // namespace pixtera
