// SPDX-License-Identifier: MIT
#pragma once
// The commands file of Pixtera.CommandData: one item a line, "NAME [lines=all] INTERVAL_MS
// COMMAND...". Blank lines and lines starting with '#' are skipped. A command runs without a
// shell, its words split at blanks ("double quotes" keep blanks), unless it starts with "sh -c",
// which hands the rest of the line to the shell as it stands.

#include <string>
#include <string_view>
#include <vector>

namespace pixtera {

struct CommandItem {
    std::string name;
    bool allLines = false;
    int intervalMs = 1000;
    std::vector<std::string> argv;
};

struct CommandList {
    std::vector<CommandItem> items;
    std::vector<std::string> problems; // "line 3: ...", for the log
};

CommandList ParseCommandList(std::string_view text);

} // namespace pixtera
