// SPDX-License-Identifier: MIT
#pragma once
// Whether an ignored command is said in the log: anyone who may publish on the command topics
// can send nonsense as fast as the broker carries it, so at most kMostSaid are said a minute,
// and the first said after a quiet spell tells how many were not.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace pixtera::bridge {

class IgnoredCommands {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMostSaid = 10;
    static constexpr std::chrono::minutes kPeriod{1};

    // The line to log for a command ignored at `now` with `line` as its reason; none when the
    // period's lines are used up.
    std::optional<std::string> Say(std::string line, Clock::time_point now);

private:
    Clock::time_point periodStart_{};
    std::size_t said_ = 0; // in the period from periodStart_
    std::size_t unsaid_ = 0; // since the last line said
};

} // namespace pixtera::bridge
