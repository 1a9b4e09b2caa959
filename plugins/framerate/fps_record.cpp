// SPDX-License-Identifier: MIT
#include "fps_record.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace pixtera::fps {
namespace {

// No display needs more; a larger number is a broken or hostile record.
constexpr std::uint32_t kHighestRate = 100000;

} // namespace

std::optional<Sample> ParseRecord(std::span<const std::byte> bytes, std::uint32_t sequenceAfter, std::uint32_t pid)
{
    RecordLayout record{};
    if (bytes.size() < sizeof record)
        return std::nullopt;
    std::memcpy(&record, bytes.data(), sizeof record);
    if (record.magic != kRecordMagic || record.version != kRecordVersion || record.size != sizeof record)
        return std::nullopt;
    if (record.sequence % 2 != 0 || record.sequence != sequenceAfter) // torn: the writer was at work
        return std::nullopt;
    if (record.pid != pid || record.framesPerSecond > kHighestRate)
        return std::nullopt;
    const void* end = std::memchr(record.name, '\0', sizeof record.name);
    if (!end)
        return std::nullopt;
    return Sample{record.pid, record.framesPerSecond, record.lastPresentNs,
                  std::string(record.name, static_cast<std::size_t>(static_cast<const char*>(end) - record.name))};
}

std::optional<std::uint32_t> PidOfRecordName(std::string_view fileName)
{
    const std::string_view prefix = kRecordPrefix;
    if (fileName.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    const std::string_view digits = fileName.substr(prefix.size());
    std::uint32_t pid = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || pid == 0)
        return std::nullopt;
    return pid;
}

} // namespace pixtera::fps
