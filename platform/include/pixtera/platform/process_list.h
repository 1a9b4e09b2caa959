// SPDX-License-Identifier: MIT
#pragma once
// What /proc says about processes: their state and parent, and the children of one.

#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace pixtera {

struct ProcessStatus {
    char state = 0; // 'R', 'S', ... 'Z' for a zombie
    pid_t parent = 0;
};

inline std::optional<ProcessStatus> ReadProcessStatus(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return std::nullopt;
    // pid (comm) state ppid ...: the command may hold blanks and brackets; the last ')' ends it.
    const auto close = line.rfind(')');
    ProcessStatus status;
    if (close == std::string::npos ||
        std::sscanf(line.c_str() + close + 1, " %c %d", &status.state, &status.parent) != 2)
        return std::nullopt;
    return status;
}

// True while the process runs (a zombie has ended: its parent may be slow to reap it).
inline bool ProcessRuns(pid_t pid)
{
    const auto status = ReadProcessStatus(pid);
    return status && status->state != 'Z';
}

// The processes whose parent is `parent`, zombies included when asked.
inline std::vector<pid_t> ChildrenOf(pid_t parent, bool withZombies = false)
{
    std::vector<pid_t> children;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = std::stoi(name);
        const auto status = ReadProcessStatus(pid);
        if (status && status->parent == parent && (withZombies || status->state != 'Z'))
            children.push_back(pid);
    }
    return children;
}

} // namespace pixtera
