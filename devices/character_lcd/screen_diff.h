// SPDX-License-Identifier: MIT
#pragma once
// The cells of a frame that differ from what the module shows, as runs to write at a cursor
// position. A gap of unchanged cells between two changes is rewritten when that is cheaper than
// a cursor jump.

#include <string>
#include <string_view>
#include <vector>

namespace pixtera::lcd {

struct Run {
    int column = 0;
    int row = 0;
    std::string text;
    friend bool operator==(const Run&, const Run&) = default;
};

// `shown` and `wanted` are frames of `columns` x rows cells, row after row; an empty `shown`
// means the module's contents are unknown, so every cell is written.
std::vector<Run> ChangedRuns(std::string_view shown, std::string_view wanted, int columns, int jumpCost);

} // namespace pixtera::lcd
