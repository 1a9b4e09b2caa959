// SPDX-License-Identifier: MIT
#include "ignored_commands.h"

#include <utility>

namespace pixtera::bridge {

std::optional<std::string> IgnoredCommands::Say(std::string line, Clock::time_point now)
{
    if (said_ == 0 || now >= periodStart_ + kPeriod) {
        periodStart_ = now;
        said_ = 0;
    }
    if (said_ == kMostSaid) {
        ++unsaid_;
        return std::nullopt;
    }
    ++said_;
    if (const std::size_t unsaid = std::exchange(unsaid_, 0))
        line += " (" + std::to_string(unsaid) + " more commands were ignored without a line)";
    else if (said_ == kMostSaid)
        line += " (more ignored commands this minute are not said)";
    return line;
}

} // namespace pixtera::bridge
