// SPDX-License-Identifier: MIT
#pragma once
// Finding the game to show among the frame-rate records of /dev/shm: the one that presented last
// among those whose process still exists and that presented within the last two seconds. Only
// regular files of this user, for processes of this user, count (/dev/shm is shared by all users).
// Records of processes that are gone are removed.

#include "fps_record.h"

#include <filesystem>
#include <optional>

namespace pixtera::fps {

// `directory` is /dev/shm but for tests; `nowNs` the CLOCK_MONOTONIC time.
std::optional<Sample> CurrentGame(const std::filesystem::path& directory, std::uint64_t nowNs);

inline constexpr std::uint64_t kStaleAfterNs = 2'000'000'000;

} // namespace pixtera::fps
