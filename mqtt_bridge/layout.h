// SPDX-License-Identifier: MIT
#pragma once
// A machine's layout from the broker (retained at pixtera/<machine>/layout, read only when the
// bridge is configured for it): a JSON list of design names, which becomes every display's
// queue at once. A name is a design of that display's queue (as its select names it) or a file
// <name>.pxd directly in the designs folder the user configured; never a path.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

// Seconds a design from the designs folder shows in a layout's queue; one from the queue keeps
// its own.
inline constexpr int kLayoutSeconds = 10;

// The longest layout taken: its most designs, each of the longest name, some escaped.
inline constexpr std::size_t kLongestLayout = 16 * 1024;

struct ReadLayoutResult {
    std::vector<std::string> names;
    std::string refused; // why there are none
};

// At most kMostScreens names, each as a select offers them.
ReadLayoutResult ReadLayout(std::string_view payload);

struct QueueEntry {
    std::string file;
    int seconds = 0;
    bool operator==(const QueueEntry&) const = default;
};

// `name` as a design of `queue` (its entry, duration and all), else as <name>.pxd in `folder`
// (empty: none) when that is a regular file there of this user's or root's, not a link; none
// otherwise.
std::optional<QueueEntry> ResolveDesign(std::string_view name, const std::vector<QueueEntry>& queue,
                                        const std::string& folder);

} // namespace pixtera::bridge
