#include "game_records.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <array>

namespace pixtera::fps {
namespace {

bool ProcessIsGone(std::uint32_t pid) { return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

// A whole record, read twice around the sequence; a record being written is tried again a little.
std::optional<Sample> ReadRecord(const std::filesystem::path& path, std::uint32_t pid)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    std::optional<Sample> sample;
    for (int attempt = 0; attempt < 3 && !sample; ++attempt) {
        std::array<std::byte, sizeof(RecordLayout)> bytes{};
        std::uint32_t sequenceAfter = 1;
        if (pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()) ||
            pread(fd, &sequenceAfter, sizeof sequenceAfter, kSequenceOffset) != sizeof sequenceAfter)
            break;
        sample = ParseRecord(bytes, sequenceAfter, pid);
    }
    close(fd);
    return sample;
}

} // namespace

std::optional<Sample> CurrentGame(const std::filesystem::path& directory, std::uint64_t nowNs)
{
    std::optional<Sample> newest;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        const auto pid = PidOfRecordName(entry.path().filename().string());
        if (!pid)
            continue;
        if (ProcessIsGone(*pid)) {
            std::filesystem::remove(entry.path(), ec); // killed before it could remove its record
            continue;
        }
        const auto sample = ReadRecord(entry.path(), *pid);
        if (!sample || sample->lastPresentNs > nowNs || nowNs - sample->lastPresentNs > kStaleAfterNs)
            continue;
        if (!newest || sample->lastPresentNs > newest->lastPresentNs)
            newest = sample;
    }
    return newest;
}

} // namespace pixtera::fps
