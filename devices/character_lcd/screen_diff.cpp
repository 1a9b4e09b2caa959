// SPDX-License-Identifier: MIT
#include "screen_diff.h"

namespace pixtera::lcd {

std::vector<Run> ChangedRuns(std::string_view shown, std::string_view wanted, int columns, int jumpCost)
{
    std::vector<Run> runs;
    if (columns <= 0)
        return runs;
    const bool known = shown.size() == wanted.size();
    const auto width = static_cast<std::size_t>(columns);
    for (std::size_t start = 0; start < wanted.size(); start += width) {
        const std::string_view row = wanted.substr(start, width);
        const int rowIndex = static_cast<int>(start / width);
        std::size_t runStart = 0;
        std::size_t runEnd = 0; // past the last changed cell of the open run
        bool open = false;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (known && shown[start + i] == row[i])
                continue;
            if (open && i - runEnd <= static_cast<std::size_t>(jumpCost)) {
                runEnd = i + 1; // the gap goes along
                continue;
            }
            if (open)
                runs.push_back(
                    {static_cast<int>(runStart), rowIndex, std::string(row.substr(runStart, runEnd - runStart))});
            open = true;
            runStart = i;
            runEnd = i + 1;
        }
        if (open)
            runs.push_back(
                {static_cast<int>(runStart), rowIndex, std::string(row.substr(runStart, runEnd - runStart))});
    }
    return runs;
}

} // namespace pixtera::lcd
