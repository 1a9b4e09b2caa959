// SPDX-License-Identifier: MIT
#include "open_file_limit.h"

#include <pixtera/platform/event_log.h>

#include <sys/resource.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace pixtera {

void RaiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    const rlim_t before = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
        LogWarning("Cannot raise the limit of open files above " + std::to_string(before) + ": " +
                   std::strerror(errno));
}

} // namespace pixtera
