// SPDX-License-Identifier: MIT
#pragma once
// Design files (.pxd): XML with a Design root, its DisplayItems and a Background.

#include <pixtera/display_item.h>

#include <filesystem>
#include <string>

namespace pixtera {

struct DesignReadResult {
    enum class Status {
        Ok,
        NotParsed, // the file could not be loaded or is not well-formed XML
        ItemError, // reading stopped at an item that lacked something it needs
    };
    Status status = Status::Ok;
    std::string message; // what went wrong, for people
    bool ok() const { return status == Status::Ok; }
};

enum class DesignReader {
    Service, // reads UpdateFreq; keeps the old background unless the file names exactly one
    Designer, // ignores UpdateFreq; clears the background first
};

// Far above any design a person lays out on a few rows of text; larger files are refused.
inline constexpr std::size_t kMaxDesignFileBytes = 4 << 20;

// Fills `design` from the file. Items read before a faulty one stay; every item's scroll start
// is `now`.
DesignReadResult LoadDesign(const std::filesystem::path& path, Design& design, DesignReader reader, DWORD now);
DesignReadResult LoadDesignFromText(std::string_view xml, Design& design, DesignReader reader, DWORD now);

// Writes the design (deleted items left out) and re-indents the file, replacing it atomically.
// False, with a reason, when the file could not be written.
bool SaveDesign(const Design& design, const std::filesystem::path& path, std::string* error = nullptr);

// The names of the file format.
const char* ModeName(LONG mode);
const char* AlignmentName(LONG alignment);
const char* UnitName(LONG unit);

} // namespace pixtera
