// SPDX-License-Identifier: MIT
#pragma once
// Finding the game to show among the frame-rate records: the one that presented last among those
// whose process still exists and that presented within the last two seconds. Only regular files
// of this user, for processes of this user, count (/dev/shm is shared by all users). Records of
// processes that are gone are removed.

#include "fps_record.h"

#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace pixtera::fps {

// Where games put their records: the user's record directory when it is private to the user,
// then /dev/shm, where games go when they cannot have that directory.
std::vector<std::filesystem::path> RecordPlaces();

// The game among the records in `places`; `nowNs` is the CLOCK_MONOTONIC time.
std::optional<Sample> CurrentGame(std::span<const std::filesystem::path> places, std::uint64_t nowNs);
std::optional<Sample> CurrentGame(const std::filesystem::path& directory, std::uint64_t nowNs);

inline constexpr std::uint64_t kStaleAfterNs = 2'000'000'000;

} // namespace pixtera::fps
