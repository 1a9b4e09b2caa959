// SPDX-License-Identifier: MIT
#include "game_records.h"

#include "record_directory.h"

#include <pixtera/sdk/bounded_file.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>

namespace pixtera::fps {
namespace {

bool ProcessIsGone(std::uint32_t pid) { return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

// /dev/shm is every user's: only this user's own processes, and records this user made, count.
bool ProcessIsOurs(std::uint32_t pid)
{
    struct stat process {};
    return stat(("/proc/" + std::to_string(pid)).c_str(), &process) == 0 && process.st_uid == geteuid();
}

bool IsOurRecordFile(const struct stat& file) { return S_ISREG(file.st_mode) && file.st_uid == geteuid(); }

// A whole record, read twice around the sequence; a record being written is tried again a little.
// Nothing another user planted under the name (a FIFO, a link, a file of theirs) is read, and
// opening it never blocks.
std::optional<Sample> ReadRecord(const std::filesystem::path& path, std::uint32_t pid)
{
    const CheckedFile file = OpenCheckedFile(path, 0, true, FileOwner::ThisUser);
    if (!file)
        return std::nullopt;
    std::optional<Sample> sample;
    for (int attempt = 0; attempt < 3 && !sample; ++attempt) {
        std::array<std::byte, sizeof(RecordLayout)> bytes{};
        std::uint32_t sequenceAfter = 1;
        if (pread(file.fd.get(), bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()) ||
            pread(file.fd.get(), &sequenceAfter, sizeof sequenceAfter, kSequenceOffset) != sizeof sequenceAfter)
            break;
        sample = ParseRecord(bytes, sequenceAfter, pid);
    }
    return sample;
}

} // namespace

std::vector<std::filesystem::path> RecordPlaces()
{
    std::vector<std::filesystem::path> places;
    std::string why;
    if (OpenUserRecordDirectory(false, why))
        places.emplace_back(UserRecordDirectory());
    places.emplace_back("/dev/shm");
    return places;
}

std::optional<Sample> CurrentGame(std::span<const std::filesystem::path> places, std::uint64_t nowNs)
{
    std::optional<Sample> newest;
    for (const auto& place : places)
        if (const auto game = CurrentGame(place, nowNs);
            game && (!newest || game->lastPresentNs > newest->lastPresentNs))
            newest = game;
    return newest;
}

std::optional<Sample> CurrentGame(const std::filesystem::path& directory, std::uint64_t nowNs)
{
    std::optional<Sample> newest;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        const auto pid = PidOfRecordName(entry.path().filename().string());
        if (!pid)
            continue;
        struct stat file {};
        if (lstat(entry.path().c_str(), &file) != 0 || !IsOurRecordFile(file))
            continue;
        if (ProcessIsGone(*pid)) {
            std::filesystem::remove(entry.path(), ec); // killed before it could remove its record
            continue;
        }
        if (!ProcessIsOurs(*pid))
            continue;
        const auto sample = ReadRecord(entry.path(), *pid);
        if (!sample || sample->lastPresentNs > nowNs || nowNs - sample->lastPresentNs > kStaleAfterNs)
            continue;
        if (!newest || sample->lastPresentNs > newest->lastPresentNs)
            newest = sample;
    }
    return newest;
}

} // namespace pixtera::fps
