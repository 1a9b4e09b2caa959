// SPDX-License-Identifier: MIT
#include "resident_code.h"

#include <sys/mman.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace pixtera {
namespace {

struct Mapping {
    unsigned long begin = 0;
    unsigned long end = 0;
    bool codeOfAFile = false;
    long writtenKb = 0; // pages copied on write: what the file no longer holds
};

// A mapping's first line in /proc/self/smaps: "begin-end perms offset dev inode [path]".
bool ReadHeader(const std::string& line, Mapping& mapping)
{
    char permissions[5] = {};
    unsigned long inode = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx %4s %*s %*s %lu", &mapping.begin, &mapping.end, permissions, &inode) != 4)
        return false;
    mapping.codeOfAFile = std::string(permissions) == "r-xp" && inode != 0;
    return true;
}

long Release(const Mapping& mapping)
{
    if (!mapping.codeOfAFile || mapping.writtenKb != 0 || mapping.end <= mapping.begin)
        return 0;
    if (madvise(reinterpret_cast<void*>(mapping.begin), mapping.end - mapping.begin, MADV_DONTNEED) != 0)
        return 0;
    return static_cast<long>((mapping.end - mapping.begin) / 1024);
}

} // namespace

long ReleaseResidentCode()
{
    std::ifstream smaps("/proc/self/smaps");
    long released = 0;
    Mapping mapping;
    bool inMapping = false;
    for (std::string line; std::getline(smaps, line);) {
        Mapping next;
        if (ReadHeader(line, next)) {
            if (inMapping)
                released += Release(mapping);
            mapping = next;
            inMapping = true;
        } else if (line.rfind("Anonymous:", 0) == 0) {
            std::sscanf(line.c_str(), "Anonymous: %ld", &mapping.writtenKb);
        }
    }
    if (inMapping)
        released += Release(mapping);
    return released;
}

} // namespace pixtera
