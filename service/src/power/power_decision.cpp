// SPDX-License-Identifier: MIT
#include "power_decision.h"

#include <algorithm>

namespace pixtera {
namespace {

constexpr int kSecondsPerDay = 24 * 3600;

void Sooner(std::optional<std::chrono::seconds>& recheck, std::chrono::seconds candidate)
{
    candidate = std::max(candidate, std::chrono::seconds(1));
    if (!recheck || candidate < *recheck)
        recheck = candidate;
}

void Because(PowerDecision& decision, const char* reason)
{
    decision.blank = true;
    decision.why += (decision.why.empty() ? "" : ", ") + std::string(reason);
}

} // namespace

PowerDecision DecidePower(const PowerSettings& settings, const PowerState& state, std::uint64_t now, int secondOfDay)
{
    PowerDecision decision;
    if (settings.blankBeforeSleep && state.sleeping)
        Because(decision, "asleep");
    if (state.session && settings.blankWhenLocked && state.session->locked)
        Because(decision, "locked");
    if (state.session && settings.idleMinutes > 0 && state.session->idle) {
        const std::uint64_t threshold = static_cast<std::uint64_t>(settings.idleMinutes) * 60'000'000ull;
        const std::uint64_t idleFor = now > state.session->idleSince ? now - state.session->idleSince : 0;
        if (idleFor >= threshold)
            Because(decision, "idle");
        else
            Sooner(decision.recheck, std::chrono::seconds((threshold - idleFor + 999'999) / 1'000'000));
    }
    if (const auto window = HoursWindow::Parse(settings.blankHours)) {
        secondOfDay = ((secondOfDay % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
        if (window->Contains(secondOfDay / 60))
            Because(decision, "hours");
        for (int boundary : {window->from, window->to})
            Sooner(decision.recheck,
                   std::chrono::seconds((boundary * 60 - secondOfDay + kSecondsPerDay) % kSecondsPerDay));
    }
    return decision;
}

} // namespace pixtera
