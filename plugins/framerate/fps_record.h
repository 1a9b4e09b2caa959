// SPDX-License-Identifier: MIT
#pragma once
// The frame-rate record a game process publishes as pixtera-fps-<pid> (written by
// libpixtera-fps.so, read by Ratewell; where it lives: record_directory.h). Fixed little-endian
// layout; `sequence` is odd while the writer changes the record, so a reader that sees it even and
// unchanged around its copy has a whole record. Depends on nothing but the C++ library: the hook
// lives inside games.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>

namespace pixtera::fps {

inline constexpr std::uint32_t kRecordMagic = 0x52465850; // "PXFR"
inline constexpr std::uint16_t kRecordVersion = 1;
inline constexpr std::size_t kNameCapacity = 96;
inline constexpr const char* kRecordPrefix = "pixtera-fps-";

struct RecordLayout {
    std::uint32_t magic;
    std::uint16_t version;
    std::uint16_t size; // sizeof(RecordLayout)
    std::uint32_t sequence; // odd while being written
    std::uint32_t pid;
    std::uint32_t framesPerSecond; // over the last second
    std::uint32_t reserved;
    std::uint64_t lastPresentNs; // CLOCK_MONOTONIC of the last publication, taken at a present
    char name[kNameCapacity]; // the game, NUL-terminated
};
static_assert(sizeof(RecordLayout) == 128);
inline constexpr std::size_t kSequenceOffset = offsetof(RecordLayout, sequence);

struct Sample {
    std::uint32_t pid = 0;
    std::uint32_t framesPerSecond = 0;
    std::uint64_t lastPresentNs = 0;
    std::string name;
};

// The sample in a copy of a record, when it is one: magic, version and size right, a sequence
// that is even and equal to `sequenceAfter` (read again after the copy), the pid expected, a
// terminated name and a believable rate. Anything else is nothing.
std::optional<Sample> ParseRecord(std::span<const std::byte> bytes, std::uint32_t sequenceAfter, std::uint32_t pid);

// CLOCK_MONOTONIC in nanoseconds: the clock of the records, the same in every process.
inline std::uint64_t MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

// The pid in a record's file name ("pixtera-fps-1234"); none for other names.
std::optional<std::uint32_t> PidOfRecordName(std::string_view fileName);

} // namespace pixtera::fps
