// SPDX-License-Identifier: MIT
#pragma once
// What a display's select entity offers: the designs of its queue by name (the file's stem), each
// name once (a stem met again is "clock 2", "clock 3"), at most kMostScreens of them and each
// at most kLongestScreenName bytes, cut between two characters.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

inline constexpr std::size_t kMostScreens = 64;
inline constexpr std::size_t kLongestScreenName = 64;

// Names in the queue's order: names[i] is entry i.
std::vector<std::string> ScreenNames(const std::vector<std::string>& files);
// The queue entry named `name`; none when no entry is.
std::optional<int> ScreenIndex(const std::vector<std::string>& names, std::string_view name);

} // namespace pixtera::bridge
