// SPDX-License-Identifier: MIT
#pragma once
// The name=value lines of a file that scripts write for a display. Re-read only when the file
// changed; numbers become numbers, the rest text.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pixtera {

struct FileValue {
    std::string name;
    std::variant<double, std::string> value;
};

// Blank lines, lines starting with '#' and lines without '=' are skipped; blanks around names
// and values are dropped; a name given twice keeps its last value.
std::vector<FileValue> ParseFileValues(std::string_view text);

class FileValues {
public:
    static constexpr std::uintmax_t kMaxBytes = 1 << 20; // more is not read
    static constexpr std::size_t kMaxItems = 1000;

    explicit FileValues(std::filesystem::path path) : path_(std::move(path)) {}

    // Reads the file again if its size, time or inode changed, or anyway when `changed` (told so
    // by the kernel: a change within one tick of the file's clock keeps its size and time).
    // Returns what happened, for the log: a file that stays unreadable for the same reason is
    // Unreadable once, until it was read again.
    enum class Change { None, Read, Vanished, Unreadable };
    Change Refresh(bool changed = false);

    const std::vector<FileValue>& values() const { return values_; }
    bool truncated() const { return truncated_; }
    // Why the file could not be read the last time it could not ("is not a regular file").
    const std::string& problem() const { return problem_; }

private:
    struct Stamp {
        std::uintmax_t size = 0;
        std::int64_t modified = 0;
        std::uintmax_t inode = 0;
        bool operator==(const Stamp&) const = default;
    };

    std::filesystem::path path_;
    std::vector<FileValue> values_;
    Stamp stamp_;
    bool present_ = false;
    bool truncated_ = false;
    std::string problem_; // empty since the last read
};

} // namespace pixtera
