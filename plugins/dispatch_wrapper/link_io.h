// SPDX-License-Identifier: MIT
#pragma once
// Moving whole messages over the socket between the wrapper and its host.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pixtera::host {

// Writes all of it; false when the other side is gone.
bool SendMessage(int fd, std::string_view bytes);

// The body of the next message (after its length); nothing when the other side closed, the
// deadline passed first (none: waits as long as it takes), or the length is beyond the limit,
// which `oversized` then says (the length announced).
std::optional<std::vector<std::byte>> ReceiveMessage(int fd,
                                                     std::optional<std::chrono::steady_clock::time_point> deadline,
                                                     std::optional<std::uint32_t>* oversized = nullptr);

} // namespace pixtera::host
